// What a restart of Windows needs: the platform, the shutdown privilege of
// the process token and ExitWindowsEx.
#pragma once
#include <cstdint>
#include <string>

#include "platform/types.h"

namespace qz::port {

// A locally unique id as LookupPrivilegeValueA gives it.
struct Luid {
  DWORD lowPart = 0;
  LONG highPart = 0;
};

inline constexpr DWORD kTokenAdjustQuery = 0x28;  // ADJUST_PRIVILEGES | QUERY
inline constexpr DWORD kSePrivilegeEnabled = 2;
inline constexpr unsigned kEwxRebootForce = 6;
inline constexpr DWORD kPlannedMaintenance = 0x80040001u;

class AnsiRestart {
 public:
  virtual ~AnsiRestart() = default;
  // GetVersionExA with an OSVERSIONINFOA of 148 bytes: the platform id.
  virtual bool GetVersionExA(DWORD& platformId) = 0;
  // OpenProcessToken of the current process.
  virtual bool OpenProcessToken(DWORD access, Handle& token) = 0;
  // LookupPrivilegeValueA on the local system.
  virtual bool LookupPrivilegeValueA(const std::string& name, Luid& luid) = 0;
  // AdjustTokenPrivileges with one privilege, not disabling all, without
  // the previous state. A call that assigns only part counts as success.
  virtual bool AdjustTokenPrivileges(Handle token, const Luid& luid,
                                     DWORD attributes) = 0;
  virtual bool ExitWindowsEx(unsigned flags, DWORD reason) = 0;
  virtual bool CloseHandle(Handle handle) = 0;
};

}  // namespace qz::port
