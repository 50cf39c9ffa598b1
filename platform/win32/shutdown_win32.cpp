// The shutdown privilege of the process token, and ExitWindowsEx.
#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace qz::win32 {

namespace {

HANDLE ToHandle(port::TokenHandle token) { return reinterpret_cast<HANDLE>(token.value); }

port::Status StatusOf(BOOL ok) {
  return ok ? port::Status::Ok() : port::Status::Failed(::GetLastError());
}

class Win32Shutdown : public port::Shutdown {
 public:
  port::Result<port::TokenHandle> OpenProcessToken(port::DWORD access) override {
    HANDLE h = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), access, &h)) {
      return port::Result<port::TokenHandle>::Failed(::GetLastError());
    }
    return port::Result<port::TokenHandle>::Ok({reinterpret_cast<std::uintptr_t>(h)});
  }

  port::Status CloseHandle(port::TokenHandle token) override {
    return StatusOf(::CloseHandle(ToHandle(token)));
  }

  port::Result<port::Luid> LookupPrivilegeValueW(const std::wstring& name) override {
    LUID value{};
    if (!::LookupPrivilegeValueW(nullptr, name.c_str(), &value)) {
      return port::Result<port::Luid>::Failed(::GetLastError());
    }
    return port::Result<port::Luid>::Ok(
        (static_cast<port::Luid>(static_cast<DWORD>(value.HighPart)) << 32) | value.LowPart);
  }

  port::Result<port::DWORD> AdjustTokenPrivileges(port::TokenHandle token, port::Luid luid,
                                                  port::DWORD attributes) override {
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Luid.LowPart = static_cast<DWORD>(luid);
    privileges.Privileges[0].Luid.HighPart = static_cast<LONG>(luid >> 32);
    privileges.Privileges[0].Attributes = attributes;
    ::SetLastError(0);
    const BOOL ok =
        ::AdjustTokenPrivileges(ToHandle(token), FALSE, &privileges, 0, nullptr, nullptr);
    const DWORD lastError = ::GetLastError();
    if (!ok) return port::Result<port::DWORD>::Failed(lastError);
    return port::Result<port::DWORD>::Ok(lastError);
  }

  port::Status ExitWindowsEx(unsigned flags, port::DWORD reason) override {
    return StatusOf(::ExitWindowsEx(flags, reason));
  }
};

}  // namespace

std::unique_ptr<port::Shutdown> MakeShutdown() { return std::make_unique<Win32Shutdown>(); }

}  // namespace qz::win32
