// FakeUi: the Ui port (platform/ui.h) in memory, for the native unit tests.
#pragma once
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/fake/fold.h"
#include "platform/ui.h"

namespace qz::fake {

class FakeUi : public port::Ui {
 public:
  struct Box {
    port::WindowHandle owner;
    std::wstring text;
    std::wstring caption;
    unsigned style;
  };
  struct Dialog {
    unsigned templateId;
    port::WindowHandle owner;
    std::wstring caption;                  // SetWindowTextW
    std::map<int, std::wstring> controls;  // SetDlgItemTextW
  };
  static constexpr port::WindowHandle kDesktop{0x10010};
  static constexpr port::WindowHandle kDialog{0x10020};
  std::vector<Box> boxes;
  std::vector<Dialog> dialogs;
  // What the user does in a dialog after its initialisation: a command
  // from this control, or WM_CLOSE when it is nullopt.
  std::optional<int> pressControl = 1001;
  bool dialogFails = false;  // DialogBoxParamW cannot create the dialog

  port::WindowHandle GetDesktopWindow() override { return kDesktop; }
  port::Result<int> MessageBoxW(port::WindowHandle owner, const std::wstring& text,
                                const std::wstring& caption, unsigned style) override {
    boxes.push_back({owner, text, caption, style});
    return port::Result<int>::Ok(1);  // IDOK
  }
  port::Result<std::intptr_t> DialogBoxParamW(unsigned templateId, port::WindowHandle owner,
                                              port::DialogProcedure& procedure) override;
  port::Status SetDlgItemTextW(port::WindowHandle dialog, int controlId,
                               const std::wstring& text) override;
  port::Status SetWindowTextW(port::WindowHandle window, const std::wstring& text) override;
  port::Status EndDialog(port::WindowHandle dialog, std::intptr_t result) override;

 private:
  std::optional<std::intptr_t> ended_;
};

}  // namespace qz::fake
