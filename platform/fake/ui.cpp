// The fake windows: message boxes are recorded, a dialog is played through
// its procedure as a user would answer it.
#include "platform/fake/fake_platform.h"

namespace qz::fake {

std::intptr_t FakeUi::DialogBoxParamW(unsigned templateId, Handle owner,
                                      port::DialogProcedure& procedure) {
  if (dialogFails) return -1;
  dialogs.push_back({templateId, owner, {}, {}});
  ended_.reset();
  procedure.OnMessage(kDialog, port::kWmInitDialog, 0, 0);
  if (!ended_) {
    if (pressControl) {
      procedure.OnMessage(kDialog, port::kWmCommand, static_cast<std::uintptr_t>(*pressControl), 0);
    } else {
      procedure.OnMessage(kDialog, port::kWmClose, 0, 0);
    }
  }
  // A procedure that never ends its dialog would leave it open for good.
  return ended_.value_or(0);
}

bool FakeUi::SetDlgItemTextW(Handle dialog, int controlId, const std::wstring& text) {
  if (dialog != kDialog || dialogs.empty()) return false;
  dialogs.back().controls[controlId] = text;
  return true;
}

bool FakeUi::SetWindowTextW(Handle window, const std::wstring& text) {
  if (window != kDialog || dialogs.empty()) return false;
  dialogs.back().caption = text;
  return true;
}

bool FakeUi::EndDialog(Handle dialog, std::intptr_t result) {
  if (dialog != kDialog) return false;
  ended_ = result;
  return true;
}

}  // namespace qz::fake
