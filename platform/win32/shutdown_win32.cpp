// The shutdown privilege of the process token, and ExitWindowsEx.
#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace qz::win32 {

namespace {

class Win32Shutdown : public port::Shutdown {
 public:
  bool OpenProcessToken(port::DWORD access, port::Handle& token) override {
    HANDLE h = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), access, &h)) return false;
    token = reinterpret_cast<port::Handle>(h);
    return true;
  }

  bool CloseHandle(port::Handle token) override {
    return ::CloseHandle(reinterpret_cast<HANDLE>(token)) != FALSE;
  }

  bool LookupPrivilegeValueW(const std::wstring& name, port::Luid& luid) override {
    LUID value{};
    if (!::LookupPrivilegeValueW(nullptr, name.c_str(), &value)) return false;
    luid = (static_cast<port::Luid>(static_cast<DWORD>(value.HighPart)) << 32) | value.LowPart;
    return true;
  }

  bool AdjustTokenPrivileges(port::Handle token, port::Luid luid, port::DWORD attributes,
                             port::DWORD& lastError) override {
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Luid.LowPart = static_cast<DWORD>(luid);
    privileges.Privileges[0].Luid.HighPart = static_cast<LONG>(luid >> 32);
    privileges.Privileges[0].Attributes = attributes;
    ::SetLastError(0);
    const BOOL ok = ::AdjustTokenPrivileges(reinterpret_cast<HANDLE>(token), FALSE, &privileges, 0,
                                            nullptr, nullptr);
    lastError = ::GetLastError();
    return ok != FALSE;
  }

  bool ExitWindowsEx(unsigned flags, port::DWORD reason) override {
    return ::ExitWindowsEx(flags, reason) != FALSE;
  }
};

}  // namespace

std::unique_ptr<port::Shutdown> MakeShutdown() { return std::make_unique<Win32Shutdown>(); }

}  // namespace qz::win32
