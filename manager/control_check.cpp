// CheckControl makes sure the scripting diagnostics control that every rule
// script creates is registered: when its class cannot be created, the copy
// beside the manager goes into a folder under Program Files and registers
// itself there (RegisterDll). Neither ever fails the run.
#include <optional>
#include <string>
#include <vector>

#include "manager/manager.h"
#include "common/program_files.h"

namespace qz {

namespace {

constexpr wchar_t kClass[] = L"CVRNManager";
constexpr wchar_t kCheckControl[] = L"CVRNManager:CheckControl";
constexpr wchar_t kRegisterDll[] = L"CVRNManager:RegisterDll";

constexpr wchar_t kControlProgId[] = L"QZKelvaDiags.QZRegUtil";
constexpr wchar_t kControlFile[] = L"qzkdiag.dll";

}  // namespace

void CVRNManager::CheckControl() {
  LogStarted(kClass, L"CheckControl");

  const port::ComResult<port::Clsid> clsid = os_.com.CLSIDFromProgID(kControlProgId);
  if (clsid && os_.com.CoCreateInstance(clsid.value) >= 0) return;

  if (!os_.files.AnyMatch(kControlFile)) {
    WriteLog(kCheckControl, L"qzkdiag.dll:", L"not found");
    return;
  }

  std::optional<std::wstring> programFiles;
  {
    const port::Result<port::KeyHandle> opened =
        os_.registry.RegOpenKeyExW(kWindowsVersionKey, port::kKeyRead);
    const port::UniqueKey version(os_.registry, opened.value);
    if (!opened) {
      WriteLog(kCheckControl, L"registry key:", L"not found");
      WriteLog(kCheckControl, L"registry sub key:", L"not found");
      return;
    }
    programFiles = ReadProgramFilesDir(os_.registry, version.Get());
  }
  if (!programFiles) {
    WriteLog(kCheckControl, L"registry sub key:", L"not found");
    return;
  }

  // Each level may exist already; a failed creation shows in the copy.
  const std::vector<std::wstring> levels = ControlFolderLevels(*programFiles);
  for (const std::wstring& level : levels) os_.files.CreateDirectoryW(level);
  const std::wstring& folder = levels.back();
  const std::wstring target = folder + L"\\" + kControlFile;

  if (os_.files.CopyFileW(kControlFile, target, false)) {
    WriteLog(kCheckControl, L"qzkdiag.dll Copied:", L"Successfully");
  } else {
    WriteLog(kCheckControl, L"qzkdiag.dll Copy:", L"Failed");
  }
  // Whatever lies at the target now (an older copy held open, say) is
  // still worth registering.
  RegisterDll(target);
  LogEnded(kClass, L"CheckControl");
}

bool CVRNManager::RegisterDll(const std::wstring& path) {
  try {
    LogStarted(kClass, L"RegisterDll");
    bool registered = false;
    {
      const port::UniqueModule library(os_.modules, os_.modules.LoadLibraryW(path).value);
      // Fails when there is no library or no export to call.
      const port::Result<port::HRESULT> hr =
          library.Valid() && os_.modules.GetProcAddress(library.Get(), "DllRegisterServer")
              ? os_.modules.DllRegisterServer(library.Get())
              : port::Result<port::HRESULT>::Failed(port::kErrorProcNotFound);
      if (!hr) {
        WriteLog(kRegisterDll, L"Could not find DLLRegisterServer", L"Error");
      } else if (hr.value >= 0) {
        WriteLog(kRegisterDll, path, L": Registered");
        registered = true;
      } else {
        WriteLog(kRegisterDll, path, L": Error while Registering");
      }
    }
    LogEnded(kClass, L"RegisterDll");
    return registered;
  } catch (...) {
    WriteLog(kRegisterDll, L"Exception occured", L"Error");
    return false;
  }
}

}  // namespace qz
