#include "checker/xml_tree.h"

namespace qz::check {

namespace {

// The file's characters, one unit each; only markup characters, blanks,
// the first letters of names and line feeds matter to the scan.
std::vector<unsigned> Units(const std::string& bytes) {
  std::vector<unsigned> units;
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const bool two = bytes.size() >= 2;
  // Without a mark, a DOM tells UTF-16 by its first "<".
  const bool unmarked = two && ((at(0) == '<' && at(1) == 0) || (at(0) == 0 && at(1) == '<'));
  const bool little = two && ((at(0) == 0xFF && at(1) == 0xFE) || (unmarked && at(1) == 0));
  const bool big = two && ((at(0) == 0xFE && at(1) == 0xFF) || (unmarked && at(0) == 0));
  const std::size_t start = unmarked ? 0 : 2;
  if (little || big) {
    for (std::size_t i = start; i + 1 < bytes.size(); i += 2) {
      units.push_back(little ? at(i) | at(i + 1) << 8 : at(i) << 8 | at(i + 1));
    }
  } else {
    for (std::size_t i = 0; i < bytes.size(); ++i) units.push_back(at(i));
  }
  return units;
}

bool StartsWith(const std::vector<unsigned>& u, std::size_t i, const char* text) {
  for (std::size_t k = 0; text[k]; ++k) {
    if (i + k >= u.size() || u[i + k] != static_cast<unsigned char>(text[k])) return false;
  }
  return true;
}

// `letters` (capitals) at `i`, in any case.
bool StartsWithLetters(const std::vector<unsigned>& u, std::size_t i, const char* letters) {
  for (std::size_t k = 0; letters[k]; ++k) {
    if (i + k >= u.size()) return false;
    const unsigned c = u[i + k];
    const unsigned capital = static_cast<unsigned char>(letters[k]);
    if (c != capital && c != capital + 32) {
      return false;
    }
  }
  return true;
}

bool IsNameStart(unsigned c) {
  return c == '_' || c == ':' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0x80;
}

bool IsBlank(unsigned c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

struct Markup {
  std::vector<StartTag> tags;
  long doctypeLine = 0;
};

Markup Scan(const std::string& bytes) {
  const std::vector<unsigned> u = Units(bytes);
  Markup markup;
  std::vector<StartTag>& tags = markup.tags;
  long line = 1;
  std::size_t i = 0;
  // Moves past `end`, counting the line feeds on the way.
  const auto skipPast = [&](const char* end) {
    while (i < u.size() && !StartsWith(u, i, end)) {
      if (u[i] == '\n') ++line;
      ++i;
    }
    for (std::size_t k = 0; end[k] && i < u.size(); ++k) ++i;
  };
  while (i < u.size()) {
    if (u[i] == '\n') {
      ++line;
      ++i;
    } else if (StartsWith(u, i, "<!--")) {
      i += 4;
      skipPast("-->");
    } else if (StartsWith(u, i, "<![CDATA[")) {
      i += 9;
      skipPast("]]>");
    } else if (StartsWith(u, i, "<?")) {
      i += 2;
      skipPast("?>");
    } else if (StartsWith(u, i, "<!")) {
      // In either case of letters: whatever a DOM makes of "<!doctype",
      // it is not given one.
      if (markup.doctypeLine == 0 && StartsWithLetters(u, i + 2, "DOCTYPE")) {
        markup.doctypeLine = line;
      }
      // The document type, with an internal subset in brackets.
      int depth = 0;
      for (++i; i < u.size(); ++i) {
        if (u[i] == '\n') ++line;
        if (u[i] == '[') ++depth;
        if (u[i] == ']') --depth;
        if (u[i] == '>' && depth <= 0) break;
      }
      ++i;
    } else if (u[i] == '<' && i + 1 < u.size() && IsNameStart(u[i + 1])) {
      tags.push_back({line, {}});
      unsigned quote = 0;
      for (++i; i < u.size(); ++i) {
        if (u[i] == '\n') ++line;
        if (quote) {
          if (u[i] == quote) quote = 0;
        } else if (u[i] == '"' || u[i] == '\'') {
          quote = u[i];
        } else if (u[i] == '>') {
          break;
        } else if (IsNameStart(u[i]) && IsBlank(u[i - 1])) {
          tags.back().attributeLines.push_back(line);
        }
      }
      ++i;
    } else {
      ++i;
    }
  }
  return markup;
}

bool IsElementName(const std::wstring& name) { return !name.empty() && name[0] != L'#'; }

}  // namespace

std::vector<StartTag> StartTags(const std::string& bytes) { return Scan(bytes).tags; }

long DoctypeLine(const std::string& bytes) { return Scan(bytes).doctypeLine; }

const std::optional<std::wstring>& XmlElement::Value() const {
  if (!value_) {
    auto first = node_ ? node_->firstChild() : nullptr;
    value_.emplace(first ? std::optional<std::wstring>(first->text()) : std::nullopt);
  }
  return *value_;
}

const std::wstring& XmlElement::Text() const {
  if (!text_) text_ = node_ ? node_->text() : std::wstring();
  return *text_;
}

// Copies the element structure depth first with a stack of its own: each
// element's lines are those of the next start tag in document order.
class TreeBuilder {
 public:
  TreeBuilder(XmlTree& tree, const std::vector<StartTag>& tags) : tree_(tree), tags_(tags) {}

  const XmlElement& Build(std::unique_ptr<port::XmlNode> root) {
    struct Open {
      XmlElement* element;
      std::unique_ptr<port::XmlNodeList> children;
      long count;
      long next;
    };
    std::vector<Open> open;
    const auto enter = [&](std::unique_ptr<port::XmlNode> node, std::wstring name) -> XmlElement& {
      XmlElement& element = Add(std::move(node), std::move(name));
      auto children = element.node_->childNodes();
      const long count = children ? children->length() : 0;
      open.push_back({&element, std::move(children), count, 0});
      return element;
    };
    std::wstring name = root->nodeName();
    const XmlElement& top = enter(std::move(root), std::move(name));
    while (!open.empty()) {
      Open& current = open.back();
      if (current.next >= current.count) {
        open.pop_back();
        continue;
      }
      auto child = current.children->item(current.next++);
      if (!child) continue;
      std::wstring childName = child->nodeName();
      if (!IsElementName(childName)) continue;
      XmlElement* parent = current.element;  // `current` moves as `open` grows
      parent->children.push_back(enter(std::move(child), std::move(childName)));
    }
    return top;
  }

 private:
  XmlElement& Add(std::unique_ptr<port::XmlNode> node, std::wstring name) {
    XmlElement& element = tree_.elements.emplace_back();
    element.name = std::move(name);
    const StartTag none{tags_.empty() ? 1 : tags_.back().line, {}};
    const StartTag& tag = next_ < tags_.size() ? tags_[next_] : none;
    ++next_;
    element.line = tag.line;
    if (auto attributes = node->attributes()) {
      const long count = attributes->length();
      for (long i = 0; i < count; ++i) {
        const std::size_t at = static_cast<std::size_t>(i);
        const long line = at < tag.attributeLines.size() ? tag.attributeLines[at] : tag.line;
        if (auto a = attributes->item(i)) {
          element.attributes.push_back({a->nodeName(), a->text(), line});
        }
      }
    }
    element.node_ = std::move(node);
    return element;
  }

  XmlTree& tree_;
  const std::vector<StartTag>& tags_;
  std::size_t next_ = 0;
};

XmlFile LoadXmlFile(port::XmlDom& dom, const std::wstring& path,
                    const std::optional<std::string>& bytes) {
  XmlFile file;
  file.found = bytes.has_value();
  if (!file.found) return file;
  const Markup markup = Scan(*bytes);
  if (markup.doctypeLine != 0) {
    file.doctypeLine = markup.doctypeLine;
    file.errorLine = markup.doctypeLine;
    return file;
  }
  try {
    auto tree = std::make_shared<XmlTree>();
    tree->document = dom.CreateDocument();
    if (!tree->document) return file;
    if (!tree->document->load(path)) {
      file.errorLine = tree->document->parseErrorLine();
      if (file.errorLine < 1) file.errorLine = 1;
      return file;
    }
    file.wellFormed = true;
    auto all = tree->document->getElementsByTagName(L"*");
    auto root = all ? all->item(0) : nullptr;
    if (root) file.root = &TreeBuilder(*tree, markup.tags).Build(std::move(root));
    file.tree = std::move(tree);
  } catch (const port::ComError&) {
    // The manager's own run reports what the DOM refused.
    file.wellFormed = false;
    file.domFailed = true;
    file.root = nullptr;
  }
  return file;
}

void ForEachInOrder(const XmlElement& root, const std::function<void(const XmlElement&)>& visit) {
  std::vector<const XmlElement*> pending{&root};
  while (!pending.empty()) {
    const XmlElement& e = *pending.back();
    pending.pop_back();
    visit(e);
    for (auto c = e.children.rbegin(); c != e.children.rend(); ++c) pending.push_back(&c->get());
  }
}

std::vector<const XmlElement*> ElementsNamed(const XmlElement& root, const std::wstring& name) {
  std::vector<const XmlElement*> found;
  ForEachInOrder(root, [&](const XmlElement& e) {
    if (e.name == name) found.push_back(&e);
  });
  return found;
}

namespace {

class RefusingDocument : public port::XmlDocument {
 public:
  RefusingDocument(std::unique_ptr<port::XmlDocument> real, const DoctypeRefusingDom::Read& read)
      : real_(std::move(real)), read_(read) {}

  bool load(const std::wstring& path) override {
    errorLine_ = 0;
    const auto bytes = read_(path);
    if (!bytes) return false;
    errorLine_ = DoctypeLine(*bytes);
    return errorLine_ == 0 && real_->load(path);
  }
  long parseErrorLine() override { return errorLine_ ? errorLine_ : real_->parseErrorLine(); }
  std::unique_ptr<port::XmlNodeList> getElementsByTagName(const std::wstring& name) override {
    return real_->getElementsByTagName(name);
  }

 private:
  std::unique_ptr<port::XmlDocument> real_;
  const DoctypeRefusingDom::Read& read_;
  long errorLine_ = 0;
};

}  // namespace

std::unique_ptr<port::XmlDocument> DoctypeRefusingDom::CreateDocument() {
  auto real = dom_.CreateDocument();
  if (!real) return nullptr;
  return std::make_unique<RefusingDocument>(std::move(real), read_);
}

}  // namespace qz::check
