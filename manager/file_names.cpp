#include "manager/file_names.h"

namespace qz {

namespace {

std::wstring Trimmed(const std::wstring& path) {
  const std::size_t nameStart = path.find_last_of(L'\\') + 1;  // 0 without one
  const std::wstring name = path.substr(nameStart);
  if (name == L"." || name == L"..") return path;
  std::size_t end = path.size();
  while (end > nameStart && (path[end - 1] == L'.' || path[end - 1] == L' ')) --end;
  return path.substr(0, end);
}

}  // namespace

std::wstring FileNameKey(port::Files& files, const std::wstring& path) {
  return files.CharUpperBuffW(Trimmed(path));
}

bool SameFileName(port::Files& files, const std::wstring& a, const std::wstring& b) {
  return files.CompareStringOrdinal(Trimmed(a), Trimmed(b)) == port::kCstrEqual;
}

bool IsPlainFileName(const std::wstring& name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  for (wchar_t c : name) {
    if (c < 0x20 || c == L'\\' || c == L'/' || c == L':' || c == L'*' || c == L'?' || c == L'"' ||
        c == L'<' || c == L'>' || c == L'|') {
      return false;
    }
  }
  return true;
}

}  // namespace qz
