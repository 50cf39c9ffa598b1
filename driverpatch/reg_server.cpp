// RunRegServer: the executable registers its service again itself.
#include "driverpatch/driver_patch.h"

namespace qz::driverpatch {

int RunRegServer(DriverPatch& run, const std::string& path) {
  // Neither the launch nor the registration is examined: the start that
  // follows shows whether the service came back.
  run.os.shell.ShellExecuteA("open", path, "/REGSERVER", port::kSwShowNormal);
  run.os.system.Sleep(200);
  return 1;
}

}  // namespace qz::driverpatch
