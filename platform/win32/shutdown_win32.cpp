// The shutdown privilege of the process token, and ExitWindowsEx.
#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace qz::win32 {

namespace {

class Win32Shutdown : public port::Shutdown {
 public:
  port::Result<port::Handle> OpenProcessToken(port::DWORD access) override {
    HANDLE h = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), access, &h)) {
      return port::Result<port::Handle>::Failed(::GetLastError());
    }
    return port::Result<port::Handle>::Ok(reinterpret_cast<port::Handle>(h));
  }

  bool CloseHandle(port::Handle token) override {
    return ::CloseHandle(reinterpret_cast<HANDLE>(token)) != FALSE;
  }

  port::Result<port::Luid> LookupPrivilegeValueW(const std::wstring& name) override {
    LUID value{};
    if (!::LookupPrivilegeValueW(nullptr, name.c_str(), &value)) {
      return port::Result<port::Luid>::Failed(::GetLastError());
    }
    return port::Result<port::Luid>::Ok(
        (static_cast<port::Luid>(static_cast<DWORD>(value.HighPart)) << 32) | value.LowPart);
  }

  port::Result<port::DWORD> AdjustTokenPrivileges(port::Handle token, port::Luid luid,
                                                  port::DWORD attributes) override {
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Luid.LowPart = static_cast<DWORD>(luid);
    privileges.Privileges[0].Luid.HighPart = static_cast<LONG>(luid >> 32);
    privileges.Privileges[0].Attributes = attributes;
    ::SetLastError(0);
    const BOOL ok = ::AdjustTokenPrivileges(reinterpret_cast<HANDLE>(token), FALSE, &privileges, 0,
                                            nullptr, nullptr);
    const DWORD lastError = ::GetLastError();
    if (!ok) return port::Result<port::DWORD>::Failed(lastError);
    return port::Result<port::DWORD>::Ok(lastError);
  }

  bool ExitWindowsEx(unsigned flags, port::DWORD reason) override {
    return ::ExitWindowsEx(flags, reason) != FALSE;
  }
};

}  // namespace

std::unique_ptr<port::Shutdown> MakeShutdown() { return std::make_unique<Win32Shutdown>(); }

}  // namespace qz::win32
