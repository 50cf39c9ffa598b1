#include "manager/patch_names.h"

#include <cstdint>

#include "common/text_compare.h"

namespace qz {

namespace {
std::size_t LastSeparator(const std::wstring& name) {
  if (name.size() < 2) return std::wstring::npos;
  const std::size_t pos = name.find_last_of(L'\\');
  return pos == 0 ? std::wstring::npos : pos;
}
}  // namespace

std::wstring LastComponent(const std::wstring& name) {
  const std::size_t pos = LastSeparator(name);
  return pos == std::wstring::npos ? name : name.substr(pos + 1);
}

std::wstring FolderPart(const std::wstring& name) {
  const std::size_t pos = LastSeparator(name);
  return pos == std::wstring::npos ? std::wstring() : name.substr(0, pos);
}

bool StaysInsideFolder(const std::wstring& name) {
  if (name.empty() || name.front() == L'\\' || name.front() == L'/') return false;
  if (name.find_first_of(L":*?") != std::wstring::npos) return false;
  // Windows takes the forward slash as a separator too.
  std::size_t start = 0;
  while (start <= name.size()) {
    const std::size_t end = name.find_first_of(L"\\/", start);
    const std::wstring part =
        name.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    if (part.empty() || part == L"." || part == L"..") return false;
    // Trailing dots and blanks are dropped by Windows: ".. " is "..".
    if (part.find_first_not_of(L". ") == std::wstring::npos) return false;
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  return true;
}

bool IsSafeScriptName(const std::wstring& id) {
  if (id.find(L"..") != std::wstring::npos) return false;
  for (wchar_t ch : id) {
    if (static_cast<std::uint32_t>(ch) < 0x20) return false;
    switch (ch) {
      case L'\\':
      case L'/':
      case L':':
      case L'<':
      case L'>':
      case L'"':
      case L'|':
      case L'?':
      case L'*': return false;
      default: break;
    }
  }
  return true;
}

std::wstring RuleScriptName(const std::wstring& name) { return L"TestCode_" + name + L".js"; }

bool CanBeRuleScript(const std::wstring& name) {
  return !name.empty() && IsSafeScriptName(name) && RuleScriptName(name).size() <= kFileNameLimit;
}

std::wstring ProgramCommandLine(const std::wstring& program, const std::wstring& arguments) {
  if (EqualsIgnoringCase(arguments, L"NULL")) return {};
  // Unquoted, a folder with a blank ("Documents and Settings", "Program
  // Files") would hand the program the rest of its own path as arguments.
  const bool blank = program.find_first_of(L" \t") != std::wstring::npos;
  return (blank ? L"\"" + program + L"\"" : program) + L" " + arguments;
}

}  // namespace qz
