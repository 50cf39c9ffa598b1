// StopAndDeleteService: asks a running service to stop and deletes it;
// Windows removes it once it has stopped and its last handle is closed.
#include "driverpatch/driver_patch.h"

namespace qz::driverpatch {

bool StopAndDeleteService(DriverPatch& run, const std::string& name) {
  port::Services& scm = run.os.services;
  const port::UniqueService manager(scm, scm.OpenSCManagerA(port::kScManagerAllAccess));
  // Nothing has been replaced yet: ending with 0 would read as success.
  if (!manager.Valid()) throw EndProcess{-1};
  const port::UniqueService service(
      scm, scm.OpenServiceA(manager.Get(), name, port::kServiceStopDeleteQuery));
  if (!service.Valid()) return false;
  port::ServiceStatus status;
  if (scm.QueryServiceStatus(service.Get(), status) &&
      status.currentState == port::kServiceRunning) {
    // Not awaited: the copies that follow wait 500 ms.
    scm.ControlService(service.Get(), port::kServiceControlStop);
  }
  return scm.DeleteService(service.Get());
}

}  // namespace qz::driverpatch
