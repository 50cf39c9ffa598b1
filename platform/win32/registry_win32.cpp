// Registry over advapi32, HKEY_LOCAL_MACHINE only. Results are the
// LSTATUS codes themselves.
#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace qz::win32 {

namespace {

HKEY ToKey(port::KeyHandle key) { return reinterpret_cast<HKEY>(key.value); }

port::Status StatusOf(LONG status) {
  return status == ERROR_SUCCESS ? port::Status::Ok()
                                 : port::Status::Failed(static_cast<port::DWORD>(status));
}

class Win32Registry : public port::Registry {
 public:
  port::Result<port::KeyHandle> RegOpenKeyExW(const std::wstring& subKey,
                                              port::DWORD access) override {
    HKEY opened = nullptr;
    const LONG status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, access, &opened);
    if (status != ERROR_SUCCESS) return {{}, StatusOf(status)};
    return port::Result<port::KeyHandle>::Ok({reinterpret_cast<std::uintptr_t>(opened)});
  }

  port::Result<port::RegistryValue> RegQueryValueExW(port::KeyHandle key,
                                                     const std::wstring& valueName,
                                                     port::DWORD bufferBytes) override {
    // Never a null data pointer: with one the call would answer the size
    // with success instead of ERROR_MORE_DATA for a too small buffer.
    std::vector<std::uint8_t> buffer(bufferBytes > 0 ? bufferBytes : 1);
    DWORD valueType = 0;
    DWORD size = bufferBytes;
    const LONG status = ::RegQueryValueExW(ToKey(key), valueName.c_str(), nullptr, &valueType,
                                           buffer.data(), &size);
    port::RegistryValue value;
    if (status == ERROR_SUCCESS) {
      buffer.resize(size);
      value.data = std::move(buffer);
      value.type = valueType;
    } else if (status == ERROR_MORE_DATA) {
      value.requiredBytes = size;
      value.type = valueType;
    }
    return {std::move(value), StatusOf(status)};
  }

  port::Status RegCloseKey(port::KeyHandle key) override {
    return StatusOf(::RegCloseKey(ToKey(key)));
  }
};

}  // namespace

std::unique_ptr<port::Registry> MakeRegistry() { return std::make_unique<Win32Registry>(); }

}  // namespace qz::win32
