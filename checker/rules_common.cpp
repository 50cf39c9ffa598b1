// What the checks of the three files share: names the manager passes
// over, attributes in another case, repeated blocks.
#include <algorithm>
#include <cwctype>

#include "checker/rules.h"
#include "common/utf8.h"
#include "common/text_compare.h"

namespace qz::check {

namespace {

// Edit distance, for "did you mean"; names are short.
std::size_t Distance(const std::wstring& a, const std::wstring& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t up = row[j];
      const bool same = std::towupper(a[i - 1]) == std::towupper(b[j - 1]);
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = up;
    }
  }
  return row[b.size()];
}

// The known name that `name` was most likely meant to be, if any.
const std::wstring* Resembled(const std::wstring& name, const std::vector<std::wstring>& known) {
  const std::wstring* best = nullptr;
  std::size_t bestDistance = 0;
  for (const std::wstring& k : known) {
    const std::size_t allowed = std::max<std::size_t>(2, k.size() / 4);
    // The lengths alone bound the distance: a long name costs nothing.
    const std::size_t apart =
        name.size() > k.size() ? name.size() - k.size() : k.size() - name.size();
    if (apart > allowed) continue;
    const std::size_t d = Distance(name, k);
    if (d <= allowed && (!best || d < bestDistance)) {
      best = &k;
      bestDistance = d;
    }
  }
  return best;
}

}  // namespace

std::string Quoted(const std::wstring& text) { return "\"" + ToUtf8(text) + "\""; }

std::wstring FoldCase(const std::wstring& text) {
  std::wstring folded = text;
  for (wchar_t& c : folded) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return folded;
}

void CheckChildNames(const Place& place, const XmlElement& parent,
                     const std::vector<std::wstring>& known) {
  for (const XmlElement& child : parent.children) {
    if (std::find(known.begin(), known.end(), child.name) != known.end()) continue;
    const std::string where = " in " + ToUtf8(parent.name) + " is ignored";
    const auto sameLetters = std::find_if(known.begin(), known.end(), [&](const std::wstring& k) {
      return EqualsIgnoringCase(k, child.name);
    });
    if (sameLetters != known.end()) {
      place.Warning(
          child.line, "element-case",
          ToUtf8(child.name) + where + ": names are case-sensitive, write " + ToUtf8(*sameLetters));
    } else if (const std::wstring* like = Resembled(child.name, known)) {
      place.Warning(child.line, "unknown-element",
                    "unknown element " + ToUtf8(child.name) + where + "; did you mean " +
                        ToUtf8(*like) + "?");
    } else {
      place.Warning(child.line, "unknown-element", "unknown element " + ToUtf8(child.name) + where);
    }
  }
}

const XmlAttribute* Attribute(const Place& place, const XmlElement& element,
                              const std::wstring& name) {
  const XmlAttribute* found = nullptr;
  for (const XmlAttribute& a : element.attributes) {
    if (a.name == name) {
      if (!found) found = &a;
    } else if (EqualsIgnoringCase(a.name, name)) {
      place.Warning(a.line, "attribute-case",
                    "attribute " + ToUtf8(a.name) + " of " + ToUtf8(element.name) +
                        " is ignored: names are case-sensitive, write " + ToUtf8(name));
    }
  }
  return found;
}

const XmlElement* FirstBlock(const Place& place, const XmlElement& root, const std::wstring& name,
                             const char* secondCode) {
  const auto blocks = ElementsNamed(root, name);
  for (std::size_t i = 1; i < blocks.size(); ++i) {
    place.Warning(blocks[i]->line, secondCode,
                  "a second " + ToUtf8(name) + " is ignored: only the first one (line " +
                      std::to_string(blocks[0]->line) + ") is read");
  }
  if (!blocks.empty()) return blocks[0];
  // Tell what was probably meant.
  const XmlElement* like = nullptr;
  ForEachInOrder(root, [&](const XmlElement& e) {
    if (!like && EqualsIgnoringCase(e.name, name)) like = &e;
  });
  if (like) {
    place.Error(like->line, "missing-element",
                "no " + ToUtf8(name) + " element: " + ToUtf8(like->name) +
                    " is not it (names are case-sensitive)");
  } else {
    place.Error(1, "missing-element", "no " + ToUtf8(name) + " element");
  }
  return nullptr;
}

bool ReportUnreadable(const Place& place, const XmlFile& file, const std::string& effect) {
  if (file.doctypeLine != 0) {
    place.Error(file.doctypeLine, "xml-doctype",
                "document type declaration (<!DOCTYPE): the manager refuses documents with "
                "one, and " +
                    effect);
    return true;
  }
  if (file.wellFormed) return false;
  if (file.found && !file.domFailed) {
    place.Error(file.errorLine, "xml-malformed", "not well-formed XML: the manager " + effect);
  }
  return true;
}

std::string Shortened(const std::wstring& text) {
  constexpr std::size_t kShown = 80;
  if (text.size() <= kShown) return Quoted(text);
  return Quoted(text.substr(0, kShown) + L"...") + " (" + std::to_string(text.size()) +
         " characters)";
}

}  // namespace qz::check
