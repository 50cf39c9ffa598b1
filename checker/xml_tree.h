// A patch XML file as the checker looks at it: the DOM that the manager
// reads (through the port), copied into plain elements that carry their
// line in the file.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "platform/xml_dom.h"

namespace qz::check {

struct XmlAttribute {
  std::wstring name;
  std::wstring value;
  long line = 1;
};

struct XmlElement {
  std::wstring name;
  long line = 1;
  std::vector<XmlAttribute> attributes;  // in order
  std::vector<XmlElement> children;                               // elements only
  // The manager's "value": the text of the first child node, absent when
  // the element has no child node at all.
  std::optional<std::wstring> value;
  std::wstring text;  // the element's whole text
};

struct XmlFile {
  bool found = false;       // the file exists
  bool wellFormed = false;  // the DOM loaded it
  long errorLine = 1;       // where loading failed
  bool domFailed = false;   // the DOM itself could not be used
  std::optional<XmlElement> root;
};

// Where a start tag (or empty-element tag) and each of its attributes
// begin.
struct StartTag {
  long line = 1;
  std::vector<long> attributeLines;  // in order
};

// Every start tag in document order, skipping comments, CDATA sections,
// processing instructions and the document type. UTF-16 files (by their
// byte-order mark) are read as such; anything else as bytes of an
// ASCII-compatible encoding.
std::vector<StartTag> StartTags(const std::string& bytes);

// Loads `path` with the DOM and copies its document element; `bytes` are
// the file's raw bytes (for the lines), absent when the file is missing.
XmlFile LoadXmlFile(port::XmlDom& dom, const std::wstring& path,
                    const std::optional<std::string>& bytes);

// The elements named `name` anywhere below and including `root`, in
// document order.
std::vector<const XmlElement*> ElementsNamed(const XmlElement& root, const std::wstring& name);

}  // namespace qz::check
