// Restart handling at the end of an update that needs one: restart at
// once (flag 2), or ask with dialog 168 and, when the restart is put off,
// leave return code 2 for the caller.
#include "manager/manager.h"
#include "common/manager_contract.h"
#include "manager/messages.h"
#include "manager/resources/resource_ids.h"

namespace qz {

static_assert(IDS_RESTART_QUESTION == kMsgRestartQuestion && IDS_RESTART_NOW == kMsgRestartNow &&
                  IDS_RESTART_LATER == kMsgRestartLater,
              "the dialog's texts are the string tables' messages");

namespace {

constexpr wchar_t kClass[] = L"CVRNManager";
constexpr const wchar_t* kSystemShutdown = contract::kSystemShutdownSource;
constexpr wchar_t kShutDown[] = L"CVRNManager:ShutDown";

constexpr std::intptr_t kRestartNow = 1;
constexpr std::intptr_t kRestartLater = -1;

// The restart dialog's procedure: the texts in the system's language,
// 1 for "Restart Now", -1 for "Restart Later" or the close box.
class RestartDialog : public port::DialogProcedure {
 public:
  explicit RestartDialog(port::Ui& ui) : ui_(ui) {}

  std::intptr_t OnMessage(port::WindowHandle dialog, unsigned message, std::uintptr_t wParam,
                          std::intptr_t) override {
    switch (message) {
      case port::kWmInitDialog:
        SetText(dialog, IDC_RESTART_QUESTION, kMsgRestartQuestion);
        SetText(dialog, IDC_RESTART_NOW, kMsgRestartNow);
        SetText(dialog, IDC_RESTART_LATER, kMsgRestartLater);
        ui_.SetWindowTextW(dialog, L"QZ");
        return 1;
      case port::kWmCommand:
        if ((wParam & 0xFFFF) == IDC_RESTART_NOW) return End(dialog, kRestartNow);
        if ((wParam & 0xFFFF) == IDC_RESTART_LATER) return End(dialog, kRestartLater);
        return 0;
      case port::kWmClose: return End(dialog, kRestartLater);
      default: return 0;
    }
  }

 private:
  void SetText(port::WindowHandle dialog, int control, unsigned message) {
    std::wstring text;
    LoadMessage(message, text);
    ui_.SetDlgItemTextW(dialog, control, text);
  }
  std::intptr_t End(port::WindowHandle dialog, std::intptr_t result) {
    ui_.EndDialog(dialog, result);
    return 1;
  }
  port::Ui& ui_;
};

}  // namespace

int CVRNManager::SystemShutdown() {
  LogStarted(kClass, L"SystemShutdown");
  if (m_rebootFlag == 0) {
    WriteLog(kSystemShutdown, L"Info", L"Reboot not required");
    return 0;
  }
  if (m_rebootFlag == 2) {
    const int result = ShutDown();
    WriteLog(kSystemShutdown, contract::kInfo, contract::kForceReboot);
    return result;
  }
  // A dialog that cannot be shown puts the restart off.
  std::intptr_t answer = 0;
  if (!m_silentMode) {
    RestartDialog procedure(os_.ui);
    const port::Result<std::intptr_t> shown =
        os_.ui.DialogBoxParamW(IDD_RESTART, os_.ui.GetDesktopWindow(), procedure);
    answer = shown ? shown.value : kRestartLater;
  }
  if (answer == kRestartNow) {
    const int result = ShutDown();
    WriteLog(kSystemShutdown, contract::kInfo, contract::kRestartNow);
    return result;
  }
  WriteReturnCode(contract::kReturnCodeRestartPending);
  WriteLog(kSystemShutdown, contract::kInfo, contract::kRestartLater);
  LogEnded(kClass, L"SystemShutdown");
  return 0;
}

int CVRNManager::ShutDown() {
  LogStarted(kClass, contract::kShutDown);
  const port::Result<port::TokenHandle> opened =
      os_.shutdown.OpenProcessToken(port::kTokenAdjustPrivileges | port::kTokenQuery);
  const port::UniqueToken token(os_.shutdown, opened.value);
  if (!opened) {
    WriteLog(kShutDown, L"Getting Process token:", L"Failed");
    return 0;
  }
  const port::Result<port::Luid> luid = os_.shutdown.LookupPrivilegeValueW(L"SeShutdownPrivilege");
  // The call succeeds also when the token lacks the privilege; only the
  // last error after it tells.
  const port::Result<port::DWORD> adjusted =
      luid ? os_.shutdown.AdjustTokenPrivileges(token.Get(), luid.value, port::kSePrivilegeEnabled)
           : port::Result<port::DWORD>::Failed(luid.status.error);
  if (!adjusted || adjusted.value != 0) {
    WriteLog(kShutDown, L"Getting token previleges:", L"Failed");
    return 0;
  }
  if (!os_.shutdown.ExitWindowsEx(port::kEwxReboot | port::kEwxForce, port::kShtdnReasonUpgrade)) {
    return 0;
  }
  LogEnded(kClass, contract::kShutDown);
  return 1;
}

}  // namespace qz
