// QueryServiceBinaryPath and FileNameFromPath: what the service gate reads.
#include "driverpatch/driver_patch.h"

namespace qz::driverpatch {

namespace {
// QUERY_SERVICE_CONFIGA without its strings.
constexpr port::DWORD kConfigRecordBytes = 36;
}  // namespace

bool QueryServiceBinaryPath(DriverPatch& run, const std::string& name, std::string& path) {
  port::Services& scm = run.os.services;
  const port::UniqueService manager(scm, scm.OpenSCManagerA(port::kScManagerConnect).value);
  if (!manager.Valid()) return false;
  const port::Result<port::ServiceHandle> opened =
      scm.OpenServiceA(manager.Get(), name, port::kServiceQueryConfig);
  const port::UniqueService service(scm, opened.value);
  if (!opened) {
    if (opened.status.error != port::kErrorServiceDoesNotExist) return false;
    path = kMissingServicePath;
    return true;
  }
  port::Result<port::ServiceConfig> config =
      scm.QueryServiceConfigA(service.Get(), kConfigRecordBytes);
  if (!config && config.status.error == port::kErrorInsufficientBuffer) {
    config = scm.QueryServiceConfigA(service.Get(), config.value.bytesNeeded);
  }
  if (!config) return false;
  path = config.value.binaryPath;
  return true;
}

int FileNameFromPath(DriverPatch& run, const std::string& path, std::string& name) {
  name.clear();
  if (path.empty()) return 1;
  const std::size_t cut = LastBackslash(run, path);
  name = cut == std::string::npos ? path : path.substr(cut + 1);
  return 1;
}

}  // namespace qz::driverpatch
