// InstallPatch: one patch file into its install folder with the Setup API.
// A file in use is queued for the restart; the handler InstallCallback
// hears of it (or of a copy error) and turns on the restart, after which
// every install of the run takes the forced form.
#include <string>

#include "manager/manager.h"

namespace qz {

namespace {

constexpr wchar_t kClass[] = L"CVRNManager";
constexpr wchar_t kStatic[] = L"Static";
constexpr wchar_t kCallback[] = L"Static:InstallCallback";
constexpr wchar_t kInstallPatch[] = L"CVRNManager:InstallPatch";

std::wstring Flag(bool result) { return result ? L"1" : L"0"; }

constexpr port::DWORD kNormalStyle = port::kSpCopyNewerOnly | port::kSpCopyNoSkip |
                                     port::kSpCopyInUseNeedsReboot |
                                     port::kSpCopySourcePathAbsolute;         // 0x10580
constexpr port::DWORD kForcedStyle = kNormalStyle | port::kSpCopyForceInUse;  // 0x10780

// The Setup API handler. Nothing may be thrown back into the Setup API:
// a failure in here aborts the copy instead.
unsigned InstallCallback(void* context, unsigned notification, std::uintptr_t, std::uintptr_t) {
  CVRNManager& m = **static_cast<CVRNManager**>(context);
  try {
    m.LogStarted(kStatic, L"InstallCallback");
    if (notification == port::kSpFileNotifyCopyError) {
      m.WriteLog(kCallback, L"Copy Error", L"Failed");
      m.m_installFailed = 1;
      m.m_rebootFlag = 1;
      return 0;
    }
    if (notification == port::kSpFileNotifyFileOpDelayed) {
      m.WriteLog(kCallback, L"SPFILENOTIFY_FILEOPDELAYED", L"File copied in reboot queue");
      m.m_restartQueued = 1;
      m.m_installFailed = 1;
      m.m_rebootFlag = 1;
      return 0;
    }
    m.LogEnded(kStatic, L"InstallCallback");
    return 1;
  } catch (...) {
    m.m_installFailed = 1;
    return 0;
  }
}

}  // namespace

bool CVRNManager::InstallPatch(const std::wstring& fileName, const std::wstring& sourceFolder,
                               const std::wstring& destinationFolder) {
  LogStarted(kClass, L"InstallPatch");
  const std::wstring destination = destinationFolder + L"\\" + fileName;
  bool inUse = false;
  port::DWORD error = 0;

  if (m_rebootFlag == 0) {
    CVRNManager* self = this;
    const bool ok = os_.installer.SetupInstallFileExW(
        fileName, sourceFolder, destination, kNormalStyle, InstallCallback, &self, inUse, error);
    // Joined, not printed into a fixed buffer: a long path is logged whole
    // (up to the log's field width).
    WriteLog(kInstallPatch,
             L"SetupInstallFileEx 1: Result = " + Flag(ok) + L", Filename = " + fileName +
                 L", sourcepath = " + sourceFolder + L", destinationpath = " + destination,
             L" Info");
    if (ok && !inUse && !m_installFailed) {
      LogEnded(kClass, L"InstallPatch");
      return true;
    }
    // Queued for the restart without a notification: the restart is
    // needed all the same, and the repetition takes the forced form.
    if (ok && inUse) {
      m_rebootFlag = 1;
      m_restartQueued = 1;
    }
    m_installError = ok ? 0 : error;
    m_installFailed = 1;
    return false;
  }

  const bool ok = os_.installer.SetupInstallFileExW(fileName, sourceFolder, destination,
                                                    kForcedStyle, nullptr, nullptr, inUse, error);
  WriteLog(kInstallPatch,
           L"SetupInstallFileEx 2: Result= " + Flag(ok) + L" Filename = " + fileName +
               L", Sourcepath = " + sourceFolder + L", Destinationpath = " + destination,
           L" Info");
  // A forced copy that failed is neither installed nor queued: saying it
  // was would report a patch that never arrives.
  if (!ok) {
    m_installError = error;
    m_installFailed = 1;
    return false;
  }
  if (inUse) m_restartQueued = 1;
  return true;
}

}  // namespace qz
