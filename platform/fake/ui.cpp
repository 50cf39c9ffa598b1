// The fake windows: message boxes are recorded, a dialog is played through
// its procedure as a user would answer it.
#include "platform/fake/fake_platform.h"

namespace qz::fake {

port::Result<std::intptr_t> FakeUi::DialogBoxParamW(unsigned templateId, port::WindowHandle owner,
                                                    port::DialogProcedure& procedure) {
  if (dialogFails) return port::Result<std::intptr_t>::Failed(port::kErrorResourceNameNotFound);
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
  return port::Result<std::intptr_t>::Ok(ended_.value_or(0));
}

port::Status FakeUi::SetDlgItemTextW(port::WindowHandle dialog, int controlId,
                                     const std::wstring& text) {
  if (dialog != kDialog || dialogs.empty())
    return port::Status::Failed(port::kErrorInvalidWindowHandle);
  dialogs.back().controls[controlId] = text;
  return port::Status::Ok();
}

port::Status FakeUi::SetWindowTextW(port::WindowHandle window, const std::wstring& text) {
  if (window != kDialog || dialogs.empty())
    return port::Status::Failed(port::kErrorInvalidWindowHandle);
  dialogs.back().caption = text;
  return port::Status::Ok();
}

port::Status FakeUi::EndDialog(port::WindowHandle dialog, std::intptr_t result) {
  if (dialog != kDialog) return port::Status::Failed(port::kErrorInvalidWindowHandle);
  ended_ = result;
  return port::Status::Ok();
}

}  // namespace qz::fake
