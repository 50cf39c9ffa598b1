// StopAndDeleteService: asks a running service to stop and deletes it;
// Windows removes it once it has stopped and its last handle is closed.
#include "driverpatch/driver_patch.h"

namespace qz::driverpatch {

bool StopAndDeleteService(DriverPatch& run, const std::string& name) {
  port::Services& scm = run.os.services;
  const port::Handle manager = scm.OpenSCManagerA(port::kScManagerAllAccess);
  // Nothing has been replaced yet: ending with 0 would read as success.
  if (manager == 0) throw EndProcess{-1};
  const port::Handle service = scm.OpenServiceA(manager, name, port::kServiceStopDeleteQuery);
  if (service == 0) {
    scm.CloseServiceHandle(manager);
    return false;
  }
  port::ServiceStatus status;
  if (scm.QueryServiceStatus(service, status) && status.currentState == port::kServiceRunning) {
    // Not awaited: the copies that follow wait 500 ms.
    scm.ControlService(service, port::kServiceControlStop);
  }
  const bool deleted = scm.DeleteService(service);
  scm.CloseServiceHandle(manager);
  scm.CloseServiceHandle(service);
  return deleted;
}

}  // namespace qz::driverpatch
