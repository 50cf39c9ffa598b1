// Registry over advapi32, HKEY_LOCAL_MACHINE only. Results are the
// LSTATUS codes themselves.
#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace qz::win32 {

namespace {

HKEY ToKey(port::Handle key) { return reinterpret_cast<HKEY>(key); }

class Win32Registry : public port::Registry {
 public:
  port::LONG RegOpenKeyExW(const std::wstring& subKey, port::DWORD access,
                           port::Handle& key) override {
    HKEY opened = nullptr;
    const LONG status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, access, &opened);
    if (status == ERROR_SUCCESS) key = reinterpret_cast<port::Handle>(opened);
    return status;
  }

  port::LONG RegQueryValueExW(port::Handle key, const std::wstring& valueName,
                              port::DWORD bufferBytes, port::DWORD& type,
                              std::vector<std::uint8_t>& data,
                              port::DWORD& requiredBytes) override {
    // Never a null data pointer: with one the call would answer the size
    // with success instead of ERROR_MORE_DATA for a too small buffer.
    std::vector<std::uint8_t> buffer(bufferBytes > 0 ? bufferBytes : 1);
    DWORD valueType = 0;
    DWORD size = bufferBytes;
    const LONG status = ::RegQueryValueExW(ToKey(key), valueName.c_str(), nullptr, &valueType,
                                           buffer.data(), &size);
    if (status == ERROR_SUCCESS) {
      buffer.resize(size);
      data = std::move(buffer);
      type = valueType;
    } else if (status == ERROR_MORE_DATA) {
      requiredBytes = size;
      type = valueType;
    }
    return status;
  }

  port::LONG RegCloseKey(port::Handle key) override { return ::RegCloseKey(ToKey(key)); }
};

}  // namespace

std::unique_ptr<port::Registry> MakeRegistry() { return std::make_unique<Win32Registry>(); }

}  // namespace qz::win32
