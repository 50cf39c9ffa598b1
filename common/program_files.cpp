#include "common/program_files.h"

#include <cstdint>

#include "common/registry_text.h"

namespace qz {

namespace {

constexpr wchar_t kProgramFilesValue[] = L"ProgramFilesDir";

// The first read uses the historical buffer; a longer value is read again
// with the size the registry asks for, up to a bound no folder path needs.
constexpr port::DWORD kFirstReadBytes = 255;
constexpr port::DWORD kMostReadBytes = 65536;
constexpr int kReadAttempts = 4;

}  // namespace

std::optional<std::wstring> ReadProgramFilesDir(port::Registry& registry, port::KeyHandle key) {
  port::DWORD bufferBytes = kFirstReadBytes;
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    const port::Result<port::RegistryValue> read =
        registry.RegQueryValueExW(key, kProgramFilesValue, bufferBytes);
    if (read.status.error == port::kErrorMoreData) {
      // The value may change between two reads: ask again with its new size.
      const port::DWORD requiredBytes = read.value.requiredBytes;
      if (requiredBytes <= bufferBytes || requiredBytes > kMostReadBytes) return std::nullopt;
      bufferBytes = requiredBytes;
      continue;
    }
    if (!read) return std::nullopt;
    // Other value types than strings are no folder name.
    if (read.value.type != port::kRegSz && read.value.type != port::kRegExpandSz) {
      return std::nullopt;
    }
    std::wstring text = RegistryText(read.value.data);
    if (text.empty()) return std::nullopt;
    return text;
  }
  return std::nullopt;
}

std::vector<std::wstring> ControlFolderLevels(std::wstring folder) {
  while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  std::vector<std::wstring> levels;
  for (const wchar_t* level : {L"\\QZ", L"\\temp", L"\\VRNU"}) {
    folder += level;
    levels.push_back(folder);
  }
  return levels;
}

}  // namespace qz
