// The XML DOM port over MSXML's DOMDocument. Every failing call becomes a
// ComError with its HRESULT at the call; a node or list that MSXML does
// not give (S_FALSE with a null result) comes back as nullptr.
#include <windows.h>
#include <objbase.h>
#include <ole2.h>
#include <oleauto.h>
#include <msxml2.h>

#include <cwctype>
#include <string>
#include <utility>

#include "platform/win32/unique_handles.h"
#include "platform/win32/win32_platform.h"

namespace {

using qz::port::ComError;
using qz::port::XmlNamedNodeMap;
using qz::port::XmlNode;
using qz::port::XmlNodeList;
using qz::win32::ComPtr;

// The DOMDocument class and its document interface, spelled out here so
// that no GUID library beyond uuid is needed.
const CLSID kDomDocumentClass = {
    0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID kXmlDomDocument = {
    0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID kXmlDomDocument2 = {
    0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr DWORD kCreationContexts =
    CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER;

void Check(HRESULT hr) {
  if (FAILED(hr)) throw ComError(hr);
}

// A BSTR the callee filled in, freed once.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const std::wstring& text)
      : b_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
    if (!b_) throw ComError(E_OUTOFMEMORY);
  }
  ~Bstr() { ::SysFreeString(b_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR Get() const { return b_; }
  BSTR* Put() {
    ::SysFreeString(b_);
    b_ = nullptr;
    return &b_;
  }
  std::wstring Text() const { return b_ ? std::wstring(b_, ::SysStringLen(b_)) : std::wstring(); }

 private:
  BSTR b_ = nullptr;
};

std::unique_ptr<XmlNode> Wrap(ComPtr<IXMLDOMNode> node);

class MsxmlNodeList : public XmlNodeList {
 public:
  explicit MsxmlNodeList(ComPtr<IXMLDOMNodeList> list) : list_(std::move(list)) {}
  long length() override {
    long count = 0;
    Check(list_->get_length(&count));
    return count;
  }
  std::unique_ptr<XmlNode> item(long index) override {
    ComPtr<IXMLDOMNode> node;
    Check(list_->get_item(index, node.Put()));
    return Wrap(std::move(node));
  }

 private:
  ComPtr<IXMLDOMNodeList> list_;
};

class MsxmlAttributes : public XmlNamedNodeMap {
 public:
  explicit MsxmlAttributes(ComPtr<IXMLDOMNamedNodeMap> map) : map_(std::move(map)) {}
  long length() override {
    long count = 0;
    Check(map_->get_length(&count));
    return count;
  }
  std::unique_ptr<XmlNode> item(long index) override {
    ComPtr<IXMLDOMNode> node;
    Check(map_->get_item(index, node.Put()));
    return Wrap(std::move(node));
  }

 private:
  ComPtr<IXMLDOMNamedNodeMap> map_;
};

class MsxmlNode : public XmlNode {
 public:
  explicit MsxmlNode(ComPtr<IXMLDOMNode> node) : node_(std::move(node)) {}
  std::wstring nodeName() override {
    Bstr name;
    Check(node_->get_nodeName(name.Put()));
    return name.Text();
  }
  std::wstring text() override {
    Bstr text;
    Check(node_->get_text(text.Put()));
    return text.Text();
  }
  std::unique_ptr<XmlNode> firstChild() override {
    ComPtr<IXMLDOMNode> child;
    Check(node_->get_firstChild(child.Put()));
    return Wrap(std::move(child));
  }
  std::unique_ptr<XmlNodeList> childNodes() override {
    ComPtr<IXMLDOMNodeList> list;
    Check(node_->get_childNodes(list.Put()));
    if (!list) return nullptr;
    return std::make_unique<MsxmlNodeList>(std::move(list));
  }
  std::unique_ptr<XmlNamedNodeMap> attributes() override {
    ComPtr<IXMLDOMNamedNodeMap> map;
    Check(node_->get_attributes(map.Put()));
    if (!map) return nullptr;
    return std::make_unique<MsxmlAttributes>(std::move(map));
  }

 private:
  ComPtr<IXMLDOMNode> node_;
};

std::unique_ptr<XmlNode> Wrap(ComPtr<IXMLDOMNode> node) {
  if (!node) return nullptr;
  return std::make_unique<MsxmlNode>(std::move(node));
}

class MsxmlDocument : public qz::port::XmlDocument {
 public:
  explicit MsxmlDocument(ComPtr<IXMLDOMDocument> doc) : doc_(std::move(doc)) {}

  bool load(const std::wstring& path) override {
    // The readers take the whole document as soon as load returns; a
    // synchronous load is what makes that true.
    doc_->put_async(VARIANT_FALSE);
    // Version 3's defaults resolve external entities and document types:
    // off, and document types refused where the parser knows how.
    doc_->put_resolveExternals(VARIANT_FALSE);
    doc_->put_validateOnParse(VARIANT_FALSE);
    ProhibitDocumentTypes();
    doctypeRefused_ = false;
    Bstr text(path);
    VARIANT source;
    ::VariantInit(&source);
    source.vt = VT_BSTR;
    source.bstrVal = text.Get();  // still owned by `text`
    VARIANT_BOOL loaded = VARIANT_FALSE;
    Check(doc_->load(source, &loaded));
    if (loaded != VARIANT_TRUE) {
      // Refused by ProhibitDTD: version 3 calls it only an error at the top
      // level, so the text at the error tells.
      doctypeRefused_ = ErrorTextHasDoctype();
      return false;
    }
    // A parser without ProhibitDTD read the document type: refused now,
    // before a reader sees any of the document.
    ComPtr<IXMLDOMDocumentType> doctype;
    if (FAILED(doc_->get_doctype(doctype.Put())) || doctype) {
      doctypeRefused_ = true;
      return false;
    }
    return true;
  }

  bool documentTypeRefused() override { return doctypeRefused_; }

  void ProhibitDocumentTypes() {
    ComPtr<IXMLDOMDocument2> doc2;
    if (FAILED(doc_->QueryInterface(kXmlDomDocument2, reinterpret_cast<void**>(doc2.Put()))) ||
        !doc2) {
      return;
    }
    Bstr name(L"ProhibitDTD");
    VARIANT value;
    ::VariantInit(&value);
    value.vt = VT_BOOL;
    value.boolVal = VARIANT_TRUE;
    doc2->setProperty(name.Get(), value);  // older parsers lack it: get_doctype then tells
  }

  bool ErrorTextHasDoctype() {
    ComPtr<IXMLDOMParseError> error;
    Bstr text;
    if (FAILED(doc_->get_parseError(error.Put())) || !error ||
        FAILED(error->get_srcText(text.Put()))) {
      return false;
    }
    std::wstring upper = text.Text();
    for (auto& c : upper) c = static_cast<wchar_t>(::towupper(c));
    return upper.find(L"<!DOCTYPE") != std::wstring::npos;
  }

  long parseErrorLine() override {
    ComPtr<IXMLDOMParseError> error;
    long line = 0;
    if (FAILED(doc_->get_parseError(error.Put())) || !error || FAILED(error->get_line(&line))) {
      return 0;
    }
    return line;
  }

  std::unique_ptr<XmlNodeList> getElementsByTagName(const std::wstring& name) override {
    Bstr tag(name);
    ComPtr<IXMLDOMNodeList> list;
    Check(doc_->getElementsByTagName(tag.Get(), list.Put()));
    if (!list) return nullptr;
    return std::make_unique<MsxmlNodeList>(std::move(list));
  }

 private:
  ComPtr<IXMLDOMDocument> doc_;
  bool doctypeRefused_ = false;
};

class MsxmlDom : public qz::port::XmlDom {
 public:
  std::unique_ptr<qz::port::XmlDocument> CreateDocument() override {
    ComPtr<IUnknown> instance;
    Check(::CoCreateInstance(kDomDocumentClass, nullptr, kCreationContexts, IID_IUnknown,
                             reinterpret_cast<void**>(instance.Put())));
    Check(::OleRun(instance.Get()));
    ComPtr<IXMLDOMDocument> doc;
    // A refused interface leaves no document: the reader's first use of it
    // is then the invalid-pointer failure.
    if (FAILED(instance->QueryInterface(kXmlDomDocument, reinterpret_cast<void**>(doc.Put()))) ||
        !doc) {
      return nullptr;
    }
    return std::make_unique<MsxmlDocument>(std::move(doc));
  }
};

}  // namespace

std::unique_ptr<qz::port::XmlDom> MakeMsxmlDom() { return std::make_unique<MsxmlDom>(); }
