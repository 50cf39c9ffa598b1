// TXLDriverPatch.exe: builds the adapters and runs the driver patch; the
// only file of the driver patch that sees <windows.h>.
#include <windows.h>

#include "common/library_search.h"
#include "driverpatch/driver_patch.h"
#include "platform/win32/driver_patch_adapters.h"
#include "platform/win32/win32_platform.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  using namespace qz;
  // Before anything can load a library on the program's behalf.
  RestrictLibrarySearch(*win32::MakeLibrarySearch());
  const auto system = win32::MakeSystemInfo();
  const auto files = win32::MakeFiles();
  const auto resources = win32::MakeResources();
  const auto ui = win32::MakeUi();
  const auto modules = win32::MakeModules();
  const auto installer = win32::MakeInstaller();
  const auto shell = win32::MakeShell();
  const auto services = win32::MakeServices();
  const auto printers = win32::MakePrinters();
  const auto windows = win32::MakeTopWindows();
  const auto debug = win32::MakeDebugOutput();
  const auto shutdown = win32::MakeShutdown();
  driverpatch::DriverPatchPlatform os{*system,   *files,     *resources, *ui,
                                      *modules,  *installer, *shell,     *services,
                                      *printers, *windows,   *debug,     *shutdown};
  driverpatch::DriverPatch run(os);
  return driverpatch::RunDriverPatch(run, commandLine ? commandLine : "");
}
