#include "manager/entry.h"
#include "common/manager_contract.h"

#include <memory>

#include "common/sha256.h"
#include "manager/file_names.h"
#include "manager/manager.h"
#include "manager/messages.h"

namespace qz {

namespace {

constexpr const wchar_t* kMain = contract::kMainSource;
// The command line is converted into 255 characters with its terminator.
constexpr std::size_t kTokenLimit = 254;

// Which mode a token selects; -1 for none.
int LaunchModeOf(const std::wstring& token) {
  if (token == L"QZSU" || token == L"QZU") return kUpdateToolMode;
  if (token == kWebSiteToken) return kWebSiteMode;
  return -1;
}

// The name of the lock one run holds on its folder: the folder as the file
// system compares names, hashed, since a mutex name cannot hold a path.
std::wstring FolderLockName(port::Files& files, std::wstring folder) {
  while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  Sha256 sha;
  for (wchar_t c : FileNameKey(files, folder)) {
    const unsigned char bytes[2] = {static_cast<unsigned char>(c & 0xFF),
                                    static_cast<unsigned char>((c >> 8) & 0xFF)};
    sha.Update(bytes, 2);
  }
  const std::string hex = sha.HexDigest().substr(0, 32);
  return L"Global\\QZVRN." + std::wstring(hex.begin(), hex.end());
}

// A file already queued stays queued whatever failed after it: the caller
// must hear that a restart is pending.
void ReportQueuedRestart(CVRNManager& m) {
  if (!m.m_restartQueued) return;
  m.WriteReturnCode(contract::kReturnCodeRestartPending);
  m.WriteLog(L"QZVRN:Main - Restart pending:", L"A file is queued for the next restart",
             L"Return code 2");
}

class Run {
 public:
  Run(port::Platform& os, CVRNManager& m, ManagerSteps& steps) : os_(os), m_(m), s_(steps) {}

  // Steps 5 to 13; each early return is the normal end of the run.
  void Steps(const std::string& commandLine) {
    std::wstring token = os_.system.MultiByteToWideChar(commandLine);
    const int mode = token.size() > kTokenLimit ? -1 : LaunchModeOf(token);
    if (mode < 0) {
      m_.WriteLog(kMain, contract::kUpdateNotRequired, std::wstring(L"Not QZSU/") + kWebSiteToken);
      Show(kMsgUpdateFailed);
      return;
    }
    m_.m_launchMode = mode;

    if (!s_.IsSupportedOS()) return Report(contract::kStepOsNotSupported, kMsgNotApplicable);
    if (!s_.ReadConditions()) return Log(L"Read Conditions:");
    if (!s_.ReadConfiguration()) return Log(L"Read Configuration:");
    // Before any rule reads the product's files, which an interrupted run
    // may have left half-written; after the configuration, which says
    // whether a message may be shown.
    if (!s_.RecoverInterruptedRun()) return Report(L"RecoverInterruptedRun:", kMsgUpdateFailed);
    if (!s_.ReadJSFromXml()) return Log(L"Read Java Script:");
    if (!s_.CheckOS()) return Report(contract::kStepCheckOs, kMsgNotApplicable);
    if (!s_.LocateAndVerifyInstallPath())
      return Report(contract::kStepLocateInstallPath, kMsgNotApplicable);
    if (!s_.VerifySourceFilesPath()) return Report(L"VerifySourceFilesPath:", kMsgUpdateFailed);

    if (m_.m_launchMode == kUpdateToolMode) {
      if (!s_.DoUpdate()) {
        Log(L"DoUpdate:");
        return ReportQueuedRestart(m_);
      }
      if (m_.m_rebootFlag != 0) s_.SystemShutdown();
      return;
    }
    WebSiteUpdate();
  }

 private:
  void WebSiteUpdate() {
    const int rule = s_.CallJScript(L"TestCode_Main.js");
    if (rule == 0) {
      m_.WriteLog(kMain, contract::kUpdateNotRequired, contract::kRuleReturnedFalse);
      Show(kMsgNotApplicable);
      return;
    }
    if (rule != -1) return Report(L"JavaScript Error:", kMsgUpdateFailed);

    if (!s_.DoUpdate()) {
      Report(L"DoUpdate:", kMsgUpdateFailed);
      return ReportQueuedRestart(m_);
    }
    if (m_.m_rebootFlag != 0) {
      s_.SystemShutdown();
      return;
    }
    if (m_.m_runFinalRule) {
      if (s_.CallJScript(L"TestCode_Main.js") == 0) {
        m_.WriteLog(kMain, contract::kUpdateCompleted, contract::kSuccess);
        Show(kMsgUpdateCompleted, m_.m_ruleFinalSuccessMsg != 0);
      } else {
        m_.WriteLog(kMain, L"DoUpdate:Update failed while running the Final Rule again.",
                    L"Failed");
        Show(kMsgUpdateFailed, m_.m_ruleFinalFailedMsg != 0);
      }
      return;
    }
    m_.WriteLog(kMain, contract::kUpdateCompleted, contract::kSuccess);
    Show(kMsgUpdateCompleted, m_.m_showFinalSuccessMsg != 0);
  }

  // Messages are always loaded, also when the box is then suppressed.
  void Show(unsigned id, bool show = true) {
    std::wstring message;
    LoadMessage(m_, id, message);
    if (show) {
      m_.ShowMessage(os_.ui.GetDesktopWindow(), message, L"QZ",
                     port::kMbOk | port::kMbIconInformation);
    }
  }
  void Report(const wchar_t* text, unsigned id) {
    m_.WriteLog(kMain, text, L"Failed");
    Show(id);
  }
  void Log(const wchar_t* text) { m_.WriteLog(kMain, text, L"Failed"); }

  port::Platform& os_;
  CVRNManager& m_;
  ManagerSteps& s_;
};

}  // namespace

int RunPatchManager(port::Platform& os, const std::string& commandLine,
                    const StepsFactory& makeSteps) {
  const port::Result<std::wstring> current = os.system.GetCurrentDirectoryW();
  const std::wstring startFolder = current ? current.value : std::wstring();

  // One run per folder, for the run's whole life. A second start ends here,
  // before it opens the log (the live run's), touches a file or runs a
  // rule; so does a start that cannot tell whether it is the only one.
  const port::Result<port::NamedMutex> made =
      os.sync.CreateMutexW(FolderLockName(os.files, startFolder));
  const port::UniqueMutex folderLock(os.sync, made.value.handle);
  if (!made || made.value.alreadyExists) return -1;

  std::unique_ptr<CVRNManager> manager;
  try {
    manager = std::make_unique<CVRNManager>(os);
  } catch (...) {
    // No manager, so no log to write to and nothing to clean up with.
    return -1;
  }
  g_pManager = manager.get();
  CVRNManager& m = *manager;
  std::unique_ptr<ManagerSteps> steps =
      makeSteps ? makeSteps(m) : std::make_unique<ManagerSteps>(m);

  // The end of every run, outside the guard: what Cleanup throws is not
  // reported a second time.
  auto finish = [&](int exitCode) {
    steps->Cleanup(startFolder, 1);
    os.com.CoUninitialize();
    if (exitCode == 0) m.LogEnded(contract::kEntryClass, contract::kEntryMethod);
    steps.reset();
    manager.reset();
    g_pManager = nullptr;
    return exitCode;
  };

  int exitCode = 0;
  try {
    m.LogStarted(contract::kEntryClass, contract::kEntryMethod);
    if (os.com.CoInitialize() < 0) {
      // Without COM no rule and no XML file can be read: the run ends
      // before it began, which is no success.
      m.WriteLog(kMain, L"CoInitialize:", L"Failed");
      exitCode = -1;
    } else {
      Run(os, m, *steps).Steps(commandLine);
    }
  } catch (_error e) {
    m.WriteLog(kMain, L"Exception:", L"failed");
    ParseVRNError(e, &m);
    ReportQueuedRestart(m);
    return finish(-1);
  } catch (...) {
    m.WriteLog(kMain, L"Unknown Exception:", L"failed");
    ReportQueuedRestart(m);
    std::wstring message;
    LoadMessage(m, kMsgUpdateFailed, message);
    m.ShowMessage(os.ui.GetDesktopWindow(), message, L"QZ", port::kMbOk | port::kMbIconInformation);
    return finish(-1);
  }
  return finish(exitCode);
}

}  // namespace qz
