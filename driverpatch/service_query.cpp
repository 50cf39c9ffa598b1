// QueryServiceBinaryPath and FileNameFromPath: what the service gate reads.
#include "driverpatch/driver_patch.h"

namespace qz::driverpatch {

namespace {
// QUERY_SERVICE_CONFIGA without its strings.
constexpr port::DWORD kConfigRecordBytes = 36;
}  // namespace

bool QueryServiceBinaryPath(DriverPatch& run, const std::string& name, std::string& path) {
  port::Services& scm = run.os.services;
  const port::UniqueService manager(scm, scm.OpenSCManagerA(port::kScManagerConnect));
  if (!manager.Valid()) return false;
  bool found = false;
  const port::UniqueService service(
      scm, scm.OpenServiceA(manager.Get(), name, port::kServiceQueryConfig));
  if (!service.Valid()) {
    if (scm.GetLastError() == port::kErrorServiceDoesNotExist) {
      path = kMissingServicePath;
      found = true;
    }
  } else {
    port::DWORD needed = 0;
    std::string binaryPath;
    if (scm.QueryServiceConfigA(service.Get(), kConfigRecordBytes, binaryPath, needed)) {
      found = true;
    } else if (scm.GetLastError() == port::kErrorInsufficientBuffer &&
               scm.QueryServiceConfigA(service.Get(), needed, binaryPath, needed)) {
      found = true;
    }
    if (found) path = binaryPath;
  }
  return found;
}

int FileNameFromPath(DriverPatch& run, const std::string& path, std::string& name) {
  name.clear();
  if (path.empty()) return 1;
  const std::size_t cut = LastBackslash(run, path);
  name = cut == std::string::npos ? path : path.substr(cut + 1);
  return 1;
}

}  // namespace qz::driverpatch
