#include "platform/fake/xml_dom_pugixml.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "common/utf8.h"
#include "platform/fake/fake_platform.h"

namespace qz::fake {

namespace {

using port::XmlNamedNodeMap;
using port::XmlNode;
using port::XmlNodeList;

// --- text conversion --------------------------------------------------------

void AppendCodePoint(std::wstring& out, std::uint32_t cp) {
  if (sizeof(wchar_t) == 2 && cp > 0xFFFF) {
    cp -= 0x10000;
    out += static_cast<wchar_t>(0xD800 + (cp >> 10));
    out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
  } else {
    out += static_cast<wchar_t>(cp);
  }
}

// pugixml hands out UTF-8; a broken sequence becomes U+FFFD.
std::wstring FromUtf8(const char* text) {
  std::wstring out;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  while (*p) {
    const unsigned char lead = *p;
    int extra = 0;
    std::uint32_t cp = 0;
    if (lead < 0x80) {
      cp = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1;
      cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2;
      cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3;
      cp = lead & 0x07;
    } else {
      out += L'\xFFFD';
      ++p;
      continue;
    }
    ++p;
    bool broken = false;
    for (int i = 0; i < extra; ++i) {
      if ((*p & 0xC0) != 0x80) {
        broken = true;
        break;
      }
      cp = (cp << 6) | (*p & 0x3F);
      ++p;
    }
    AppendCodePoint(out, broken || cp > 0x10FFFF ? 0xFFFD : cp);
  }
  return out;
}

bool IsXmlSpace(wchar_t ch) { return ch == L' ' || ch == L'\t' || ch == L'\n' || ch == L'\r'; }

bool IsBlank(const char* text) {
  for (const char* p = text; *p; ++p) {
    if (!IsXmlSpace(static_cast<unsigned char>(*p))) return false;
  }
  return true;
}

std::wstring Trim(const std::wstring& text, bool left, bool right) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  if (left) {
    while (begin < end && IsXmlSpace(text[begin])) ++begin;
  }
  if (right) {
    while (end > begin && IsXmlSpace(text[end - 1])) --end;
  }
  return text.substr(begin, end - begin);
}

// Whitespace-only text is not part of MSXML's tree when white space is not
// preserved (its default); it still separates words in an element's text.
bool IsVisible(const pugi::xml_node& node) {
  switch (node.type()) {
    case pugi::node_element:
    case pugi::node_cdata:
    case pugi::node_comment:
    case pugi::node_pi: return true;
    case pugi::node_pcdata: return !IsBlank(node.value());
    default: return false;
  }
}

// The next node in document order below `root`, without recursion, so that
// deep nesting cannot exhaust the stack.
pugi::xml_node NextInOrder(pugi::xml_node node, const pugi::xml_node& root) {
  if (node.first_child()) return node.first_child();
  while (node && node != root) {
    if (node.next_sibling()) return node.next_sibling();
    node = node.parent();
  }
  return pugi::xml_node();
}

// An element's text as MSXML gives it: the text and CDATA below it in
// document order; text nodes lose the white space at the two ends of the
// whole, CDATA keeps all of its own, and a run of whitespace-only text
// between other content reads as one blank.
std::wstring ElementText(const pugi::xml_node& element) {
  enum Kind { kText, kCdata, kBlank };
  struct Piece {
    Kind kind;
    std::wstring text;
  };
  std::vector<Piece> pieces;
  for (pugi::xml_node n = NextInOrder(element, element); n; n = NextInOrder(n, element)) {
    if (n.type() == pugi::node_pcdata) {
      if (IsBlank(n.value())) {
        if (!pieces.empty() && pieces.back().kind != kBlank) {
          pieces.push_back({kBlank, L" "});
        }
      } else {
        pieces.push_back({kText, FromUtf8(n.value())});
      }
    } else if (n.type() == pugi::node_cdata) {
      pieces.push_back({kCdata, FromUtf8(n.value())});
    }
  }
  while (!pieces.empty() && pieces.back().kind == kBlank) pieces.pop_back();
  std::wstring out;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const Piece& piece = pieces[i];
    if (piece.kind == kText) {
      out += Trim(piece.text, i == 0, i + 1 == pieces.size());
    } else {
      out += piece.text;
    }
  }
  return out;
}

// --- nodes ------------------------------------------------------------------

using DocumentRef = std::shared_ptr<pugi::xml_document>;

class List : public XmlNodeList {
 public:
  void Add(std::function<std::unique_ptr<XmlNode>()> make) { items_.push_back(std::move(make)); }
  long length() override { return static_cast<long>(items_.size()); }
  std::unique_ptr<XmlNode> item(long index) override {
    if (index < 0 || index >= length()) return nullptr;
    return items_[static_cast<std::size_t>(index)]();
  }

 private:
  std::vector<std::function<std::unique_ptr<XmlNode>()>> items_;
};

// An attribute's value seen as its one text child.
class ValueNode : public XmlNode {
 public:
  explicit ValueNode(std::wstring value) : value_(std::move(value)) {}
  std::wstring nodeName() override { return L"#text"; }
  std::wstring text() override { return value_; }
  std::unique_ptr<XmlNode> firstChild() override { return nullptr; }
  std::unique_ptr<XmlNodeList> childNodes() override { return std::make_unique<List>(); }
  std::unique_ptr<XmlNamedNodeMap> attributes() override { return nullptr; }

 private:
  std::wstring value_;
};

class AttributeNode : public XmlNode {
 public:
  AttributeNode(DocumentRef doc, pugi::xml_attribute attribute)
      : doc_(std::move(doc)), attribute_(attribute) {}
  std::wstring nodeName() override { return FromUtf8(attribute_.name()); }
  // Measured on Wine's MSXML: a blank value reads as empty, any other
  // value keeps its blanks.
  std::wstring text() override {
    return IsBlank(attribute_.value()) ? std::wstring() : FromUtf8(attribute_.value());
  }
  std::unique_ptr<XmlNode> firstChild() override {
    if (!*attribute_.value()) return nullptr;
    return std::make_unique<ValueNode>(text());
  }
  std::unique_ptr<XmlNodeList> childNodes() override {
    auto list = std::make_unique<List>();
    if (*attribute_.value()) {
      const std::wstring value = text();
      list->Add([value] { return std::make_unique<ValueNode>(value); });
    }
    return list;
  }
  std::unique_ptr<XmlNamedNodeMap> attributes() override { return nullptr; }

 private:
  DocumentRef doc_;
  pugi::xml_attribute attribute_;
};

class AttributeMap : public XmlNamedNodeMap {
 public:
  AttributeMap(DocumentRef doc, pugi::xml_node element) : doc_(std::move(doc)) {
    for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
      attributes_.push_back(a);
    }
  }
  long length() override { return static_cast<long>(attributes_.size()); }
  std::unique_ptr<XmlNode> item(long index) override {
    if (index < 0 || index >= length()) return nullptr;
    return std::make_unique<AttributeNode>(doc_, attributes_[static_cast<std::size_t>(index)]);
  }

 private:
  DocumentRef doc_;
  std::vector<pugi::xml_attribute> attributes_;
};

class Node : public XmlNode {
 public:
  Node(DocumentRef doc, pugi::xml_node node) : doc_(std::move(doc)), node_(node) {}

  std::wstring nodeName() override {
    switch (node_.type()) {
      case pugi::node_pcdata: return L"#text";
      case pugi::node_cdata: return L"#cdata-section";
      case pugi::node_comment: return L"#comment";
      case pugi::node_document: return L"#document";
      default: return FromUtf8(node_.name());
    }
  }

  std::wstring text() override {
    switch (node_.type()) {
      case pugi::node_pcdata: return Trim(FromUtf8(node_.value()), true, true);
      case pugi::node_element:
      case pugi::node_document: return ElementText(node_);
      default: return FromUtf8(node_.value());
    }
  }

  std::unique_ptr<XmlNode> firstChild() override {
    for (pugi::xml_node c = node_.first_child(); c; c = c.next_sibling()) {
      if (IsVisible(c)) return std::make_unique<Node>(doc_, c);
    }
    return nullptr;
  }

  std::unique_ptr<XmlNodeList> childNodes() override {
    auto list = std::make_unique<List>();
    for (pugi::xml_node c = node_.first_child(); c; c = c.next_sibling()) {
      if (!IsVisible(c)) continue;
      DocumentRef doc = doc_;
      list->Add([doc, c] { return std::make_unique<Node>(doc, c); });
    }
    return list;
  }

  std::unique_ptr<XmlNamedNodeMap> attributes() override {
    if (node_.type() != pugi::node_element) return nullptr;
    return std::make_unique<AttributeMap>(doc_, node_);
  }

 private:
  DocumentRef doc_;
  pugi::xml_node node_;
};

// --- document ---------------------------------------------------------------

// What MSXML refuses and pugixml lets through: anything but exactly one
// element and blank text at the top level (parsed as a fragment so that
// such text is kept to be seen), and an attribute named twice.
bool IsWellFormed(const pugi::xml_document& doc) {
  int elements = 0;
  for (pugi::xml_node c = doc.first_child(); c; c = c.next_sibling()) {
    if (c.type() == pugi::node_element) ++elements;
    if (c.type() == pugi::node_cdata || (c.type() == pugi::node_pcdata && !IsBlank(c.value()))) {
      return false;
    }
  }
  if (elements != 1) return false;
  const pugi::xml_node root = doc;
  // Sorted names, not every pair: an element of many attributes (a fuzzer's
  // input) would otherwise cost their number squared.
  std::vector<std::string_view> names;
  for (pugi::xml_node n = NextInOrder(root, root); n; n = NextInOrder(n, root)) {
    names.clear();
    for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
      names.emplace_back(a.name());
    }
    std::sort(names.begin(), names.end());
    if (std::adjacent_find(names.begin(), names.end()) != names.end()) return false;
  }
  return true;
}

class Document : public port::XmlDocument {
 public:
  explicit Document(FileBytes read) : read_(std::move(read)) {}

  bool load(const std::wstring& path) override {
    doc_ = std::make_shared<pugi::xml_document>();
    const auto bytes = read_(path);
    if (!bytes) return false;
    const unsigned options = pugi::parse_default | pugi::parse_ws_pcdata | pugi::parse_comments |
                             pugi::parse_pi | pugi::parse_declaration | pugi::parse_doctype |
                             pugi::parse_fragment;
    const pugi::xml_parse_result result = doc_->load_buffer(bytes->data(), bytes->size(), options);
    errorLine_ = 0;
    doctype_ = false;
    if (!result) {
      const std::size_t end = std::min<std::size_t>(
          bytes->size(), result.offset < 0 ? 0 : static_cast<std::size_t>(result.offset));
      errorLine_ = 1 + static_cast<long>(std::count(bytes->begin(), bytes->begin() + end, '\n'));
    }
    // As the MSXML adapter does: a document that declares a document type
    // is not read at all.
    if (result) {
      for (pugi::xml_node n = doc_->first_child(); n; n = n.next_sibling()) {
        if (n.type() == pugi::node_doctype) doctype_ = true;
      }
    }
    if (!result || doctype_ || !IsWellFormed(*doc_)) {
      doc_ = std::make_shared<pugi::xml_document>();
      return false;
    }
    return true;
  }

  long parseErrorLine() override { return errorLine_; }
  bool documentTypeRefused() override { return doctype_; }

  std::unique_ptr<XmlNodeList> getElementsByTagName(const std::wstring& name) override {
    auto list = std::make_unique<List>();
    const std::string wanted = qz::ToUtf8(name);
    const bool all = wanted == "*";
    const pugi::xml_node root = *doc_;
    for (pugi::xml_node n = NextInOrder(root, root); n; n = NextInOrder(n, root)) {
      if (n.type() != pugi::node_element) continue;
      if (!all && std::strcmp(n.name(), wanted.c_str()) != 0) continue;
      DocumentRef doc = doc_;
      list->Add([doc, n] { return std::make_unique<Node>(doc, n); });
    }
    return list;
  }

 private:
  bool doctype_ = false;
  long errorLine_ = 0;
  FileBytes read_;
  DocumentRef doc_ = std::make_shared<pugi::xml_document>();
};

class PugixmlDom : public port::XmlDom {
 public:
  explicit PugixmlDom(FileBytes read) : read_(std::move(read)) {}
  std::unique_ptr<port::XmlDocument> CreateDocument() override {
    return std::make_unique<Document>(read_);
  }

 private:
  FileBytes read_;
};

}  // namespace

std::unique_ptr<port::XmlDom> MakePugixmlDom(FileBytes read) {
  return std::make_unique<PugixmlDom>(std::move(read));
}

std::unique_ptr<port::XmlDom> MakePugixmlDom(FakeFiles& files) {
  return MakePugixmlDom([&files](const std::wstring& path) { return files.Contents(path); });
}

}  // namespace qz::fake
