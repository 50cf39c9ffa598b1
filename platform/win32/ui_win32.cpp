// Windows the user sees, over user32.
#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace qz::win32 {

namespace {

HWND ToWindow(port::Handle h) { return reinterpret_cast<HWND>(h); }

// The portable procedure rides in the dialog's user data from
// WM_INITDIALOG on; messages before it are not the procedure's.
INT_PTR CALLBACK DialogTrampoline(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lParam);
  auto* procedure = reinterpret_cast<port::DialogProcedure*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (!procedure) return FALSE;
  return procedure->OnMessage(reinterpret_cast<port::Handle>(dialog), message, wParam,
                              message == WM_INITDIALOG ? 0 : lParam);
}

class Win32Ui : public port::Ui {
 public:
  port::Handle GetDesktopWindow() override {
    return reinterpret_cast<port::Handle>(::GetDesktopWindow());
  }

  int MessageBoxW(port::Handle owner, const std::wstring& text, const std::wstring& caption,
                  unsigned style) override {
    return ::MessageBoxW(ToWindow(owner), text.c_str(), caption.c_str(), style);
  }

  std::intptr_t DialogBoxParamW(unsigned templateId, port::Handle owner,
                                port::DialogProcedure& procedure) override {
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId),
                             ToWindow(owner), DialogTrampoline,
                             reinterpret_cast<LPARAM>(&procedure));
  }

  bool SetDlgItemTextW(port::Handle dialog, int controlId, const std::wstring& text) override {
    return ::SetDlgItemTextW(ToWindow(dialog), controlId, text.c_str()) != FALSE;
  }

  bool SetWindowTextW(port::Handle window, const std::wstring& text) override {
    return ::SetWindowTextW(ToWindow(window), text.c_str()) != FALSE;
  }

  bool EndDialog(port::Handle dialog, std::intptr_t result) override {
    return ::EndDialog(ToWindow(dialog), result) != FALSE;
  }
};

}  // namespace

std::unique_ptr<port::Ui> MakeUi() { return std::make_unique<Win32Ui>(); }

}  // namespace qz::win32
