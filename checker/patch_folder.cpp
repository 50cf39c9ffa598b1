#include "checker/patch_folder.h"

#include <fstream>
#include <iterator>
#include <system_error>

#include "checker/rules.h"
#include "common/utf8.h"

namespace qz::check {

namespace fs = std::filesystem;

namespace {

fs::path PathOf(const std::wstring& part) {
#ifdef _WIN32
  return fs::path(part);
#else
  return fs::u8path(ToUtf8(part));
#endif
}

std::wstring NameOf(const fs::path& p) {
#ifdef _WIN32
  return p.filename().wstring();
#else
  return FromUtf8(p.filename().string());
#endif
}

}  // namespace

std::optional<fs::path> PatchFolder::Resolve(const std::wstring& relative) const {
  fs::path current = root_;
  std::error_code ec;
  std::size_t start = 0;
  while (start <= relative.size()) {
    const std::size_t end = relative.find_first_of(L"\\/", start);
    const std::wstring part = relative.substr(start, end == std::wstring::npos ? end : end - start);
    start = end == std::wstring::npos ? relative.size() + 1 : end + 1;
    if (part.empty() || part == L".") continue;
    if (part == L"..") return std::nullopt;
    const fs::path exact = current / PathOf(part);
    if (fs::exists(exact, ec)) {
      current = exact;
      continue;
    }
    std::optional<fs::path> found;
    for (fs::directory_iterator it(current, ec), last; !ec && it != last; it.increment(ec)) {
      if (FoldCase(NameOf(it->path())) == FoldCase(part)) {
        found = it->path();
        break;
      }
    }
    if (!found) return std::nullopt;
    current = *found;
  }
  return current;
}

std::optional<std::string> PatchFolder::Read(const std::wstring& relative) const {
  const auto path = Resolve(relative);
  std::error_code ec;
  if (!path || !fs::is_regular_file(*path, ec)) return std::nullopt;
  std::ifstream in(*path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace qz::check
