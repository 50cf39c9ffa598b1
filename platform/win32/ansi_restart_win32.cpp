// The restart of Windows over advapi32 and user32.
#include <windows.h>

#include "platform/win32/driver_patch_adapters.h"

namespace qz::win32 {

namespace {

class Win32AnsiRestart : public port::AnsiRestart {
 public:
  bool GetVersionExA(port::DWORD& platformId) override {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;  // 148 bytes
    if (!::GetVersionExA(&info)) return false;
    platformId = info.dwPlatformId;
    return true;
  }

  bool OpenProcessToken(port::DWORD access, port::Handle& token) override {
    HANDLE handle = nullptr;
    const BOOL done = ::OpenProcessToken(::GetCurrentProcess(), access, &handle);
    token = reinterpret_cast<port::Handle>(handle);
    return done != FALSE;
  }

  bool LookupPrivilegeValueA(const std::string& name, port::Luid& luid) override {
    LUID value = {};
    if (!::LookupPrivilegeValueA(nullptr, name.c_str(), &value)) return false;
    luid.lowPart = value.LowPart;
    luid.highPart = value.HighPart;
    return true;
  }

  bool AdjustTokenPrivileges(port::Handle token, const port::Luid& luid,
                             port::DWORD attributes) override {
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Luid.LowPart = luid.lowPart;
    privileges.Privileges[0].Luid.HighPart = luid.highPart;
    privileges.Privileges[0].Attributes = attributes;
    return ::AdjustTokenPrivileges(reinterpret_cast<HANDLE>(token), FALSE, &privileges,
                                   0, nullptr, nullptr) != FALSE;
  }

  bool ExitWindowsEx(unsigned flags, port::DWORD reason) override {
    return ::ExitWindowsEx(flags, reason) != FALSE;
  }

  bool CloseHandle(port::Handle handle) override {
    return ::CloseHandle(reinterpret_cast<HANDLE>(handle)) != FALSE;
  }
};

}  // namespace

std::unique_ptr<port::AnsiRestart> MakeAnsiRestart() {
  return std::make_unique<Win32AnsiRestart>();
}

}  // namespace qz::win32
