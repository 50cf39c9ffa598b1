// The restart dialog (template 168): its procedure and its labels.
#include "driverpatch/driver_patch.h"

namespace qz::driverpatch {

namespace {
constexpr int kIdOk = 1;      // "Restart Now"
constexpr int kIdCancel = 2;  // "Restart Later", Esc, a close request
constexpr int kQuestionText = 1003;
}  // namespace

std::intptr_t RestartDialog(DriverPatch& run, port::WindowHandle window, unsigned message,
                            std::uintptr_t wParam, std::intptr_t /*lParam*/) {
  run.state.dialogWindow = window;
  Trace(run, "%s %s", "TXLDriverPatchRestartDialog", "- Entering");
  std::intptr_t handled = 0;
  if (message == port::kWmInitDialog) {
    DisplayDialog(run, GetMessageLanguage(run));
    handled = 1;
  } else if (message == port::kWmCommand) {
    switch (static_cast<int>(wParam & 0xFFFF)) {
      case kIdOk:
        run.os.ui.EndDialog(window, 0);
        RestartMachine(run);
        break;
      case kIdCancel:
        // Written before the dialog ends, so the caller finds it.
        WriteReturnCode(run, 2);
        run.os.ui.EndDialog(window, 0);
        break;
      default: run.os.ui.EndDialog(window, 0); break;
    }
    handled = 1;
  }
  Trace(run, "%s %s", "TXLDriverPatchRestartDialog", "- Exiting");
  return handled;
}

void DisplayDialog(DriverPatch& run, port::LANGID language) {
  port::Ui& ui = run.os.ui;
  const port::WindowHandle dialog = run.state.dialogWindow;
  Trace(run, "%s %s", "TXLDriverPatchDisplayDialog", "- Entering");
  // The first failure ends the labelling; the rest keeps the template's
  // empty text. Control 0 is the caption.
  auto label = [&](int control, unsigned stringId) {
    const std::wstring text = MsgDisplayString(run, language, stringId);
    const port::Status done =
        control == 0 ? ui.SetWindowTextW(dialog, text) : ui.SetDlgItemTextW(dialog, control, text);
    // The line shows error 0 whatever the call left: it has always read so.
    if (!done) {
      Trace(run, "SetWindowText failed for ID %d.Error = %d", static_cast<int>(stringId), 0);
    }
    return static_cast<bool>(done);
  };
  label(0, 5) && label(kQuestionText, 2) && label(kIdOk, 6) && label(kIdCancel, 7);
  Trace(run, "%s %s", "TXLDriverPatchDisplayDialog", "- Exiting");
}

}  // namespace qz::driverpatch
