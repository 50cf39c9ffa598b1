// StartServiceAndWait: starts the service and waits while it reports
// start-pending and makes progress.
#include "driverpatch/driver_patch.h"

namespace qz::driverpatch {

namespace {
// A tenth of the wait hint, but 1 to 10 seconds.
port::DWORD PassWait(port::DWORD waitHint) {
  port::DWORD wait = waitHint / 10;
  if (wait < 1000) wait = 1000;
  if (wait > 10000) wait = 10000;
  return wait;
}
}  // namespace

bool StartServiceAndWait(DriverPatch& run, const std::string& name) {
  port::Services& scm = run.os.services;
  port::SystemInfo& system = run.os.system;
  if (!run.startManager) {
    run.startManager = scm.OpenSCManagerA(port::kScManagerAllAccess).value;
    if (!run.startManager) return false;
  }
  const port::UniqueService service(
      scm, scm.OpenServiceA(run.startManager, name, port::kServiceAllAccess).value);
  if (!service.Valid() || !scm.StartServiceA(service.Get())) return false;
  const port::Result<port::ServiceStatus> started = scm.QueryServiceStatusEx(service.Get());
  if (!started) return false;
  port::ServiceStatus status = started.value;
  port::DWORD startTick = system.GetTickCount();
  port::DWORD lastCheckPoint = status.checkPoint;
  while (status.currentState == port::kServiceStartPending) {
    system.Sleep(PassWait(status.waitHint));
    const port::Result<port::ServiceStatus> queried = scm.QueryServiceStatusEx(service.Get());
    if (!queried) break;
    status = queried.value;
    if (status.checkPoint > lastCheckPoint) {
      startTick = system.GetTickCount();
      lastCheckPoint = status.checkPoint;
    } else if (system.GetTickCount() - startTick > status.waitHint) {
      break;
    }
  }
  return status.currentState == port::kServiceRunning;
}

}  // namespace qz::driverpatch
