// A patch XML file as the checker looks at it: the DOM that the manager
// reads (through the port), as plain elements that carry their line in the
// file. Patch files may nest as deep as their author likes, so the tree is
// built, walked and torn down without recursion, and the texts, which cost
// the size of a subtree, are read only where a check asks for them.
#pragma once
#include <deque>
#include <functional>
#include <memory>
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

class XmlElement {
 public:
  std::wstring name;
  long line = 1;
  std::vector<XmlAttribute> attributes;  // in order
  // Elements only; they live in the file's tree, not in their parent.
  std::vector<std::reference_wrapper<const XmlElement>> children;

  // The manager's "value": the text of the first child node, absent when
  // the element has no child node at all.
  const std::optional<std::wstring>& Value() const;
  // The element's whole text.
  const std::wstring& Text() const;

 private:
  friend class TreeBuilder;
  std::unique_ptr<port::XmlNode> node_;
  mutable std::optional<std::optional<std::wstring>> value_;
  mutable std::optional<std::wstring> text_;
};

// The elements of one file, and the document their nodes come from.
struct XmlTree {
  std::unique_ptr<port::XmlDocument> document;
  std::deque<XmlElement> elements;  // the root first; a deque keeps them in place
};

struct XmlFile {
  bool found = false;       // the file exists
  bool wellFormed = false;  // the DOM loaded it
  long errorLine = 1;       // where loading failed
  bool domFailed = false;   // the DOM itself could not be used
  long doctypeLine = 0;     // a document type there: not given to the DOM
  std::shared_ptr<const XmlTree> tree;
  const XmlElement* root = nullptr;  // in `tree`
};

// Where a start tag (or empty-element tag) and each of its attributes
// begin.
struct StartTag {
  long line = 1;
  std::vector<long> attributeLines;  // in order
};

// Every start tag in document order, skipping comments, CDATA sections,
// processing instructions and the document type. UTF-16 files (by their
// byte-order mark, or by a first "<" of two bytes) are read as such;
// anything else as bytes of an ASCII-compatible encoding.
std::vector<StartTag> StartTags(const std::string& bytes);

// The line of the first document type declaration, 0 when there is none;
// read the way StartTags reads, so one in a comment or CDATA section is
// not one.
long DoctypeLine(const std::string& bytes);

// Loads `path` with the DOM and takes its document element; `bytes` are
// the file's raw bytes (for the lines), absent when the file is missing.
// A file with a document type never reaches the DOM.
XmlFile LoadXmlFile(port::XmlDom& dom, const std::wstring& path,
                    const std::optional<std::string>& bytes);

// The elements below and including `root` in document order.
void ForEachInOrder(const XmlElement& root, const std::function<void(const XmlElement&)>& visit);

// The elements named `name` anywhere below and including `root`, in
// document order.
std::vector<const XmlElement*> ElementsNamed(const XmlElement& root, const std::wstring& name);

// A DOM that refuses, as a load that fails, every document with a document
// type, so that neither the DTD nor an entity is ever processed; `read`
// gives a file's bytes by the path the DOM is asked to load (absent: the
// load fails as for a missing file).
class DoctypeRefusingDom : public port::XmlDom {
 public:
  using Read = std::function<std::optional<std::string>(const std::wstring&)>;
  DoctypeRefusingDom(port::XmlDom& dom, Read read) : dom_(dom), read_(std::move(read)) {}
  std::unique_ptr<port::XmlDocument> CreateDocument() override;

 private:
  port::XmlDom& dom_;
  Read read_;
};

}  // namespace qz::check
