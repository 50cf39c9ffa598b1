// The XML DOM, shaped after MSXML's IXMLDOMDocument. A failing call throws
// qz::port::ComError with its HRESULT; a missing node or list comes back
// as nullptr and the reader decides what that means.
#pragma once
#include <memory>
#include <string>

#include "platform/types.h"

namespace qz::port {

// A COM failure as the reader sees it: the HRESULT of the call that failed.
class ComError {
 public:
  explicit ComError(HRESULT code) : code_(code) {}
  HRESULT Error() const { return code_; }

 private:
  HRESULT code_;
};

class XmlNodeList;
class XmlNamedNodeMap;

class XmlNode {
 public:
  virtual ~XmlNode() = default;
  virtual std::wstring nodeName() = 0;
  // The text of the node and all its descendants, as MSXML's `text`.
  virtual std::wstring text() = 0;
  virtual std::unique_ptr<XmlNode> firstChild() = 0;
  virtual std::unique_ptr<XmlNodeList> childNodes() = 0;
  virtual std::unique_ptr<XmlNamedNodeMap> attributes() = 0;
};

class XmlNodeList {
 public:
  virtual ~XmlNodeList() = default;
  virtual long length() = 0;
  // nullptr when the index is out of range.
  virtual std::unique_ptr<XmlNode> item(long index) = 0;
};

class XmlNamedNodeMap {
 public:
  virtual ~XmlNamedNodeMap() = default;
  virtual long length() = 0;
  // Attributes in document order; nullptr when out of range.
  virtual std::unique_ptr<XmlNode> item(long index) = 0;
};

class XmlDocument {
 public:
  virtual ~XmlDocument() = default;
  // True when the file was found and parsed completely.
  virtual bool load(const std::wstring& path) = 0;
  // After a failed load: the line of the parse error (parseError.line),
  // 0 when the DOM does not know it.
  virtual long parseErrorLine() { return 0; }
  // After a failed load: whether the document was refused because it
  // declares a document type. Documents are read without document types
  // or external resources, which could read local files, reach a network
  // share with the reader's credentials or expand without bound.
  virtual bool documentTypeRefused() { return false; }
  virtual std::unique_ptr<XmlNodeList> getElementsByTagName(const std::wstring& name) = 0;
};

class XmlDom {
 public:
  virtual ~XmlDom() = default;
  // CoCreateInstance of the DOMDocument class (contexts 7), OleRun, then
  // IXMLDOMDocument. Throws ComError when creation or running fails.
  virtual std::unique_ptr<XmlDocument> CreateDocument() = 0;
};

}  // namespace qz::port
