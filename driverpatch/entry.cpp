// The run from command line to exit code: the administrator gate, the
// service gate, the replacement and what the user is told of it.
#include "driverpatch/driver_patch.h"

namespace qz::driverpatch {

namespace {

constexpr unsigned kMsgNotApplicable = 1;
constexpr unsigned kMsgUpdateCompleted = 5;
constexpr unsigned kMsgNoAdmin = 9;
constexpr unsigned kRestartDialog = 168;

// Dialog 168's messages go to RestartDialog.
class RestartDialogProcedure : public port::DialogProcedure {
 public:
  explicit RestartDialogProcedure(DriverPatch& run) : run_(run) {}
  std::intptr_t OnMessage(port::WindowHandle dialog, unsigned message, std::uintptr_t wParam,
                          std::intptr_t lParam) override {
    return RestartDialog(run_, dialog, message, wParam, lParam);
  }

 private:
  DriverPatch& run_;
};

// The folder of the running program, without its trailing backslash.
std::string SourceDirectory(DriverPatch& run) {
  // An unknown path stays empty, as does its folder.
  std::string path = run.os.modules.GetModuleFileNameA().value;
  const std::size_t cut = LastBackslash(run, path);
  if (cut != std::string::npos) path.resize(cut);
  return path;
}

// Passed when the helper library or its export is missing; the library
// stays loaded.
bool CurrentUserIsAdministrator(DriverPatch& run, const std::string& sourceDirectory) {
  const port::ModuleHandle helper =
      run.os.modules.LoadLibraryA(sourceDirectory + "\\txlsvchlp.dll").value;
  if (!helper) return true;
  const port::Result<int> administrator = run.os.modules.IsCurrentUserLocalAdministrator(helper);
  return !administrator || administrator.value != 0;
}

int Run(DriverPatch& run, const std::string& commandLine) {
  auto& os = run.os;
  os.debug.OutputDebugStringA("Main");
  run.traceLog.emplace("TXLDriverPatch", "TXL DRIVER PATCH");
  run.state.trace = &*run.traceLog;
  Trace(run, "%s %s", "TXL Driver Patch::WinMain", "- Entering");

  const std::string sourceDirectory = SourceDirectory(run);
  run.state.silent = commandLine.find("/silent") != std::string::npos;

  if (!CurrentUserIsAdministrator(run, sourceDirectory)) {
    DisplayMessage(run, kMsgNoAdmin);
    return -1;
  }

  const std::string serviceName = kServiceName;
  const std::string sourceFile = sourceDirectory + "\\QZZipm12.exe";
  std::string systemTarget;
  if (const port::Result<std::string> system = os.system.GetSystemDirectoryA(260)) {
    systemTarget = system.value + "\\qzzipm12.exe";
  }

  os.system.Sleep(200);
  os.debug.OutputDebugStringA("Going to query service");
  std::string serviceBinaryPath;
  if (!QueryServiceBinaryPath(run, serviceName, serviceBinaryPath)) {
    os.debug.OutputDebugStringA("FAILED");
    return -1;
  }
  os.system.Sleep(200);
  os.debug.OutputDebugStringA("Going Forward");

  // A missing service reads "XXXX\XXXX" and ends here too.
  std::string serviceFileName;
  FileNameFromPath(run, serviceBinaryPath, serviceFileName);
  if (!EqualsIgnoringCaseMbcs(run, serviceFileName, kExpectedFileName)) {
    DisplayMessage(run, kMsgNotApplicable);
    return 0;
  }

  // Without the new executable the service would be deleted with nothing
  // to put back: stop before anything is touched.
  const port::Result<port::DWORD> source = os.files.GetFileAttributesA(sourceFile);
  if (!source || (source.value & port::kFileAttributeDirectory)) {
    os.debug.OutputDebugStringA("No QZZipm12.exe beside the driver patch");
    return -1;
  }

  const Replacement end = ReplaceServiceExecutable(run, serviceName, serviceBinaryPath, sourceFile,
                                                   systemTarget, sourceDirectory);
  if (end == Replacement::kDirect) {
    DisplayMessage(run, kMsgUpdateCompleted);
    return 0;
  }
  if (run.state.silent) {
    WriteReturnCode(run, 2);
  } else {
    RestartDialogProcedure procedure(run);
    os.ui.DialogBoxParamW(kRestartDialog, port::WindowHandle{}, procedure);
  }
  return 0;
}

}  // namespace

int RunDriverPatch(DriverPatch& run, const std::string& commandLine) {
  try {
    return Run(run, commandLine);
  } catch (const EndProcess& end) {
    return end.exitCode;
  }
}

}  // namespace qz::driverpatch
