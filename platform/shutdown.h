// Restarting Windows: the shutdown privilege of the process token and
// ExitWindowsEx. The fake stands in for all of it, so no unit test can
// restart anything.
#pragma once
#include <cstdint>
#include <string>

#include "platform/handles.h"
#include "platform/types.h"

namespace qz::port {

inline constexpr DWORD kTokenAdjustPrivileges = 0x20;
inline constexpr DWORD kTokenQuery = 0x8;
inline constexpr DWORD kSePrivilegeEnabled = 0x2;
inline constexpr unsigned kEwxReboot = 0x2;
inline constexpr unsigned kEwxForce = 0x4;
// Planned, major reason operating system, minor reason upgrade.
inline constexpr DWORD kShtdnReasonUpgrade = 0x80020003u;

using Luid = std::uint64_t;

class Shutdown {
 public:
  virtual ~Shutdown() = default;
  // OpenProcessToken on the current process.
  virtual Result<TokenHandle> OpenProcessToken(DWORD access) = 0;
  virtual Status CloseHandle(TokenHandle token) = 0;
  virtual Result<Luid> LookupPrivilegeValueW(const std::wstring& name) = 0;
  // AdjustTokenPrivileges for one privilege, without the previous state.
  // The call succeeds also when the token does not hold the privilege:
  // then its value, GetLastError right after it, is kErrorNotAllAssigned.
  virtual Result<DWORD> AdjustTokenPrivileges(TokenHandle token, Luid luid, DWORD attributes) = 0;
  // ExitWindowsEx: asks for the restart and returns at once.
  virtual Status ExitWindowsEx(unsigned flags, DWORD reason) = 0;
};

using UniqueToken = UniqueHandle<Shutdown, &Shutdown::CloseHandle>;

}  // namespace qz::port
