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
    Handle owner;
    std::wstring text;
    std::wstring caption;
    unsigned style;
  };
  struct Dialog {
    unsigned templateId;
    Handle owner;
    std::wstring caption;                  // SetWindowTextW
    std::map<int, std::wstring> controls;  // SetDlgItemTextW
  };
  static constexpr Handle kDesktop = 0x10010;
  static constexpr Handle kDialog = 0x10020;
  std::vector<Box> boxes;
  std::vector<Dialog> dialogs;
  // What the user does in a dialog after its initialisation: a command
  // from this control, or WM_CLOSE when it is nullopt.
  std::optional<int> pressControl = 1001;
  bool dialogFails = false;  // DialogBoxParamW cannot create the dialog

  Handle GetDesktopWindow() override { return kDesktop; }
  int MessageBoxW(Handle owner, const std::wstring& text, const std::wstring& caption,
                  unsigned style) override {
    boxes.push_back({owner, text, caption, style});
    return 1;  // IDOK
  }
  std::intptr_t DialogBoxParamW(unsigned templateId, Handle owner,
                                port::DialogProcedure& procedure) override;
  bool SetDlgItemTextW(Handle dialog, int controlId, const std::wstring& text) override;
  bool SetWindowTextW(Handle window, const std::wstring& text) override;
  bool EndDialog(Handle dialog, std::intptr_t result) override;

 private:
  std::optional<std::intptr_t> ended_;
};

}  // namespace qz::fake
