#include "checker/xml_tree.h"

#include <functional>

namespace qz::check {

namespace {

// The file's characters, one unit each; only markup characters, blanks,
// the first letters of names and line feeds matter to the scan.
std::vector<unsigned> Units(const std::string& bytes) {
  std::vector<unsigned> units;
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (bytes.size() >= 2 && (at(0) == 0xFF && at(1) == 0xFE)) {
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) units.push_back(at(i) | at(i + 1) << 8);
  } else if (bytes.size() >= 2 && (at(0) == 0xFE && at(1) == 0xFF)) {
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) units.push_back(at(i) << 8 | at(i + 1));
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

bool IsNameStart(unsigned c) {
  return c == '_' || c == ':' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0x80;
}

bool IsBlank(unsigned c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::vector<StartTag> StartTags(const std::string& bytes) {
  const std::vector<unsigned> u = Units(bytes);
  std::vector<StartTag> tags;
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
  return tags;
}

namespace {

bool IsElementName(const std::wstring& name) { return !name.empty() && name[0] != L'#'; }

XmlElement Copy(port::XmlNode& node, const std::vector<StartTag>& tags, std::size_t& next) {
  XmlElement element;
  element.name = node.nodeName();
  const StartTag none{tags.empty() ? 1 : tags.back().line, {}};
  const StartTag& tag = next < tags.size() ? tags[next] : none;
  element.line = tag.line;
  ++next;
  element.text = node.text();
  if (auto attributes = node.attributes()) {
    const long count = attributes->length();
    for (long i = 0; i < count; ++i) {
      const std::size_t at = static_cast<std::size_t>(i);
      const long line = at < tag.attributeLines.size() ? tag.attributeLines[at] : tag.line;
      if (auto a = attributes->item(i)) {
        element.attributes.push_back({a->nodeName(), a->text(), line});
      }
    }
  }
  if (auto first = node.firstChild()) element.value = first->text();
  if (auto children = node.childNodes()) {
    const long count = children->length();
    for (long i = 0; i < count; ++i) {
      auto child = children->item(i);
      if (child && IsElementName(child->nodeName())) {
        element.children.push_back(Copy(*child, tags, next));
      }
    }
  }
  return element;
}

}  // namespace

XmlFile LoadXmlFile(port::XmlDom& dom, const std::wstring& path,
                    const std::optional<std::string>& bytes) {
  XmlFile file;
  file.found = bytes.has_value();
  if (!file.found) return file;
  try {
    auto document = dom.CreateDocument();
    if (!document) return file;
    if (!document->load(path)) {
      file.errorLine = document->parseErrorLine();
      if (file.errorLine < 1) file.errorLine = 1;
      return file;
    }
    file.wellFormed = true;
    auto all = document->getElementsByTagName(L"*");
    auto root = all ? all->item(0) : nullptr;
    if (root) {
      const std::vector<StartTag> tags = StartTags(*bytes);
      std::size_t next = 0;
      file.root = Copy(*root, tags, next);
    }
  } catch (const port::ComError&) {
    // The manager's own run reports what the DOM refused.
    file.wellFormed = false;
    file.domFailed = true;
  }
  return file;
}

std::vector<const XmlElement*> ElementsNamed(const XmlElement& root, const std::wstring& name) {
  std::vector<const XmlElement*> found;
  std::function<void(const XmlElement&)> walk = [&](const XmlElement& e) {
    if (e.name == name) found.push_back(&e);
    for (const XmlElement& child : e.children) walk(child);
  };
  walk(root);
  return found;
}

}  // namespace qz::check
