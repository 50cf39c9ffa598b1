// RestartMachine: the shutdown privilege on NT, then a forced restart.
#include "driverpatch/driver_patch.h"

namespace qz::driverpatch {

namespace {

constexpr port::DWORD kTokenAdjustQuery = port::kTokenAdjustPrivileges | port::kTokenQuery;
constexpr unsigned kRebootForce = port::kEwxReboot | port::kEwxForce;
// Planned, major reason application, minor reason maintenance.
constexpr port::DWORD kPlannedMaintenance = 0x80040001u;
// OSVERSIONINFOW: the basic record, all that the platform id needs.
constexpr port::DWORD kBasicVersionRecord = 276;

// Enables the shutdown privilege in `token`; false (traced) when a step
// fails. A privilege only partly assigned counts as enabled.
bool EnableShutdownPrivilege(DriverPatch& run, port::TokenHandle& token) {
  port::Shutdown& shutdown = run.os.shutdown;
  const port::Result<port::TokenHandle> opened = shutdown.OpenProcessToken(kTokenAdjustQuery);
  token = opened.value;
  if (!opened) {
    Trace(run, "OpenProcessToken failed");
    return false;
  }
  const port::Result<port::Luid> luid = shutdown.LookupPrivilegeValueW(L"SeShutdownPrivilege");
  if (!luid) {
    Trace(run, "LookupPrivilegeValue failed ");
    return false;
  }
  if (!token) {
    Trace(run, "Token is NULL ");
    return false;
  }
  if (!shutdown.AdjustTokenPrivileges(token, luid.value, port::kSePrivilegeEnabled)) {
    Trace(run, "AdjustTokenPrivileges failed ");
    return false;
  }
  return true;
}

}  // namespace

void RestartMachine(DriverPatch& run) {
  port::Shutdown& shutdown = run.os.shutdown;
  Trace(run, "%s %s", "TXLDriverPatchRestartMachine", "- Entering");
  port::UniqueToken token(shutdown);
  const port::Result<port::OsVersionInfo> version =
      run.os.system.GetVersionExW(kBasicVersionRecord);
  bool ready = false;
  if (!version) {
    Trace(run, "GetVersionEx failed in RestartMachine");
  } else {
    // Windows 9x has no privileges to enable.
    ready = version.value.platformId != port::kVerPlatformWin32Nt ||
            EnableShutdownPrivilege(run, token.Put());
  }
  if (ready && !shutdown.ExitWindowsEx(kRebootForce, kPlannedMaintenance)) {
    Trace(run, "ExitWindowsEx failed ");
  }
  token.Reset();
  Trace(run, "%s %s", "TXLDriverPatchRestartMachine", "- Exiting");
}

}  // namespace qz::driverpatch
