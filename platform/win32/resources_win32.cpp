// String resources of the program's own module (the .exe that linked this
// library), read raw by block or through LoadStringW.
#include <windows.h>

#include <cstring>

#include "platform/win32/win32_platform.h"

namespace qz::win32 {

namespace {

// LoadStringW's buffer, as the callers of the plain loader expect.
constexpr int kLoadStringChars = 1024;

class Win32Resources : public port::Resources {
 public:
  port::Result<std::vector<std::uint16_t>> FindStringBlock(unsigned block,
                                                           port::LANGID language) override {
    using Read = port::Result<std::vector<std::uint16_t>>;
    // A resource id is 16 bits; anything else is no block.
    if (block == 0 || block > 0xFFFF) return Read::Failed(ERROR_RESOURCE_NAME_NOT_FOUND);
    const HMODULE module = ::GetModuleHandleW(nullptr);
    const HRSRC found = ::FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(block), language);
    if (found == nullptr) return Read::Failed(::GetLastError());
    const HGLOBAL loaded = ::LoadResource(module, found);
    if (loaded == nullptr) return Read::Failed(::GetLastError());
    const void* data = ::LockResource(loaded);
    if (data == nullptr) return Read::Failed(::GetLastError());
    // Resource memory is part of the mapped image: nothing to free.
    const DWORD bytes = ::SizeofResource(module, found);
    std::vector<std::uint16_t> units(bytes / sizeof(std::uint16_t));
    if (!units.empty()) std::memcpy(units.data(), data, units.size() * sizeof units[0]);
    return Read::Ok(std::move(units));
  }

  std::wstring LoadStringW(unsigned id) override {
    wchar_t buffer[kLoadStringChars];
    const int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, buffer, kLoadStringChars);
    return length > 0 ? std::wstring(buffer, static_cast<std::size_t>(length)) : std::wstring();
  }
};

}  // namespace

std::unique_ptr<port::Resources> MakeResources() { return std::make_unique<Win32Resources>(); }

}  // namespace qz::win32
