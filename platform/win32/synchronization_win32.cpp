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
      return port::Result<port::NamedMutex>::Failed(error, {{}, error == ERROR_ACCESS_DENIED});
    return port::Result<port::NamedMutex>::Ok(
        {{reinterpret_cast<std::uintptr_t>(mutex)}, error == ERROR_ALREADY_EXISTS});
  }

  port::Status CloseHandle(port::MutexHandle object) override {
    if (!::CloseHandle(reinterpret_cast<HANDLE>(object.value))) {
      return port::Status::Failed(::GetLastError());
    }
    return port::Status::Ok();
  }
};

}  // namespace

std::unique_ptr<port::Synchronization> MakeSynchronization() {
  return std::make_unique<Win32Synchronization>();
}

}  // namespace qz::win32
