// RestartMachine: the shutdown privilege on NT, then a forced restart.
#include "driverpatch/driver_patch.h"

namespace qz::driverpatch {

namespace {

// Enables the shutdown privilege in `token`; false (traced) when a step fails.
bool EnableShutdownPrivilege(DriverPatch& run, port::Handle& token) {
  port::AnsiRestart& restart = run.os.restart;
  if (!restart.OpenProcessToken(port::kTokenAdjustQuery, token)) {
    Trace(run, "OpenProcessToken failed");
    return false;
  }
  port::Luid luid;
  if (!restart.LookupPrivilegeValueA("SeShutdownPrivilege", luid)) {
    Trace(run, "LookupPrivilegeValue failed ");
    return false;
  }
  if (token == 0) {
    Trace(run, "Token is NULL ");
    return false;
  }
  if (!restart.AdjustTokenPrivileges(token, luid, port::kSePrivilegeEnabled)) {
    Trace(run, "AdjustTokenPrivileges failed ");
    return false;
  }
  return true;
}

}  // namespace

void RestartMachine(DriverPatch& run) {
  port::AnsiRestart& restart = run.os.restart;
  Trace(run, "%s %s", "TXLDriverPatchRestartMachine", "- Entering");
  port::Handle token = 0;
  port::DWORD platformId = 0;
  bool ready = false;
  if (!restart.GetVersionExA(platformId)) {
    Trace(run, "GetVersionEx failed in RestartMachine");
  } else {
    // Windows 9x has no privileges to enable.
    ready = platformId != port::kVerPlatformWin32Nt || EnableShutdownPrivilege(run, token);
  }
  if (ready && !restart.ExitWindowsEx(port::kEwxRebootForce, port::kPlannedMaintenance)) {
    Trace(run, "ExitWindowsEx failed ");
  }
  if (token != 0) restart.CloseHandle(token);
  Trace(run, "%s %s", "TXLDriverPatchRestartMachine", "- Exiting");
}

}  // namespace qz::driverpatch
