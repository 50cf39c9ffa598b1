// Named mutexes over kernel32.
#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace qz::win32 {

namespace {

class Win32Synchronization : public port::Synchronization {
 public:
  port::Handle CreateMutexW(const std::wstring& name, bool& alreadyExists) override {
    const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
    const DWORD error = ::GetLastError();
    alreadyExists = error == ERROR_ALREADY_EXISTS || (!mutex && error == ERROR_ACCESS_DENIED);
    return reinterpret_cast<port::Handle>(mutex);
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
