// StopAndDeleteService: asks a running service to stop and deletes it;
// Windows removes it once it has stopped and its last handle is closed.
#include "driverpatch/driver_patch.h"

namespace qz::driverpatch {

bool StopAndDeleteService(DriverPatch& run, const std::string& name) {
  port::Services& scm = run.os.services;
  const port::UniqueService manager(scm, scm.OpenSCManagerA(port::kScManagerAllAccess).value);
  // Nothing has been replaced yet: ending with 0 would read as success.
  if (!manager.Valid()) throw EndProcess{-1};
  const port::UniqueService service(
      scm, scm.OpenServiceA(manager.Get(), name, port::kServiceStopDeleteQuery).value);
  if (!service.Valid()) return false;
  const port::Result<port::ServiceStatus> status = scm.QueryServiceStatus(service.Get());
  if (status && status.value.currentState == port::kServiceRunning) {
    // Not awaited: the copies that follow wait 500 ms.
    scm.ControlService(service.Get(), port::kServiceControlStop);
  }
  return static_cast<bool>(scm.DeleteService(service.Get()));
}

}  // namespace qz::driverpatch
