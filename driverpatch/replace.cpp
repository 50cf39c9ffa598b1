// ReplaceServiceExecutable: stop and delete the service, copy the new
// executable to its three targets (or schedule what could not be copied
// for the next start of Windows), register and start the service again.
#include "driverpatch/driver_patch.h"

namespace qz::driverpatch {

namespace {

struct Target {
  std::string path;
  bool copied;
};

bool Copy(DriverPatch& run, const std::string& from, const Target& to) {
  return static_cast<bool>(run.os.files.CopyFileA(from, to.path, false));
}

// The driver target, formed before the service is touched so that the
// deferred path schedules it too. Left out (counted as done) when the
// directory cannot be read: never a copy to a path relative to the
// current directory.
Target DriverTarget(DriverPatch& run) {
  const port::Result<std::string> directory = run.os.printers.GetPrinterDriverDirectoryA(1024);
  if (!directory || directory.value.empty()) {
    run.os.debug.OutputDebugStringA("No printer-driver directory: driver target left out");
    return {std::string(), true};
  }
  return {directory.value + "\\3\\QZZIPM12.EXE", false};
}

}  // namespace

Replacement ReplaceServiceExecutable(DriverPatch& run, const std::string& serviceName,
                                     const std::string& serviceBinaryPath,
                                     const std::string& sourceFile, const std::string& systemTarget,
                                     const std::string& sourceDirectory) {
  auto& os = run.os;
  os.system.Sleep(200);
  NotifyDeviceWindows(run, 1);
  os.system.Sleep(200);

  Target service{serviceBinaryPath, false};
  // The system target counts as done only when it is the service target,
  // so that a service that cannot be stopped gets it scheduled too. An
  // unreadable system directory left it empty: like the driver target, it
  // is left out rather than copied to a relative path.
  Target system{systemTarget, systemTarget.empty() ||
                                  EqualsIgnoringCaseMbcs(run, serviceBinaryPath, systemTarget)};
  if (systemTarget.empty()) {
    os.debug.OutputDebugStringA("No system directory: system target left out");
  }
  Target driver = DriverTarget(run);

  if (StopAndDeleteService(run, serviceName)) {
    os.system.Sleep(500);
    service.copied = Copy(run, sourceFile, service);
    if (!system.copied) system.copied = Copy(run, sourceFile, system);
    if (!driver.copied) driver.copied = Copy(run, sourceFile, driver);
    if (service.copied && system.copied && driver.copied) {
      os.system.Sleep(200);
      RunRegServer(run, serviceBinaryPath);  // the fresh copy
      os.system.Sleep(200);
      StartServiceAndWait(run, serviceName);
      NotifyDeviceWindows(run, 2);
      return Replacement::kDirect;
    }
  }

  bool inUse = false;
  for (const Target* target : {&service, &driver, &system}) {
    if (target->copied) continue;
    os.installer.SetupInstallFileExA("QZZipm12.exe", sourceDirectory, target->path,
                                     port::kDriverCopyStyle, inUse);
  }
  // The copies are scheduled now: whatever this stop answers, even a
  // service manager that no longer opens, the run goes on and reports the
  // pending restart.
  try {
    StopAndDeleteService(run, serviceName);
  } catch (const EndProcess&) {
  }
  os.system.Sleep(500);
  // The installed copy may be the old one until the restart: register the
  // new one beside the driver patch.
  RunRegServer(run, sourceDirectory + "\\QZZipm12.exe");
  os.system.Sleep(200);
  StartServiceAndWait(run, serviceName);
  os.system.Sleep(200);
  NotifyDeviceWindows(run, 2);
  return Replacement::kDeferred;
}

}  // namespace qz::driverpatch
