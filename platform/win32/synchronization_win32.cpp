// Named mutexes over kernel32.
#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace qz::win32 {

namespace {

class Win32Synchronization : public port::Synchronization {
 public:
  port::Result<port::NamedMutex> CreateMutexW(const std::wstring& name) override {
    const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
    const DWORD error = ::GetLastError();
    if (!mutex)
      return port::Result<port::NamedMutex>::Failed(error, {0, error == ERROR_ACCESS_DENIED});
    return port::Result<port::NamedMutex>::Ok(
        {reinterpret_cast<port::Handle>(mutex), error == ERROR_ALREADY_EXISTS});
  }

  bool CloseHandle(port::Handle object) override {
    return ::CloseHandle(reinterpret_cast<HANDLE>(object)) != FALSE;
  }
};

}  // namespace

std::unique_ptr<port::Synchronization> MakeSynchronization() {
  return std::make_unique<Win32Synchronization>();
}

}  // namespace qz::win32
