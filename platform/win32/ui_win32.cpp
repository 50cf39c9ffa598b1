// Windows the user sees, over user32.
#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace qz::win32 {

namespace {

HWND ToWindow(port::WindowHandle h) { return reinterpret_cast<HWND>(h.value); }

port::WindowHandle FromWindow(HWND window) {
  return port::WindowHandle{reinterpret_cast<std::uintptr_t>(window)};
}

// The outcome of a call that answers a BOOL.
port::Status Outcome(BOOL done) {
  return done ? port::Status::Ok() : port::Status::Failed(::GetLastError());
}

// The portable procedure rides in the dialog's user data from
// WM_INITDIALOG on; messages before it are not the procedure's.
INT_PTR CALLBACK DialogTrampoline(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lParam);
  auto* procedure = reinterpret_cast<port::DialogProcedure*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (!procedure) return FALSE;
  return procedure->OnMessage(FromWindow(dialog), message, wParam,
                              message == WM_INITDIALOG ? 0 : lParam);
}

class Win32Ui : public port::Ui {
 public:
  port::WindowHandle GetDesktopWindow() override { return FromWindow(::GetDesktopWindow()); }

  port::Result<int> MessageBoxW(port::WindowHandle owner, const std::wstring& text,
                                const std::wstring& caption, unsigned style) override {
    const int button = ::MessageBoxW(ToWindow(owner), text.c_str(), caption.c_str(), style);
    if (button == 0) return port::Result<int>::Failed(::GetLastError());
    return port::Result<int>::Ok(button);
  }

  port::Result<std::intptr_t> DialogBoxParamW(unsigned templateId, port::WindowHandle owner,
                                              port::DialogProcedure& procedure) override {
    // -1 is both the failure and what EndDialog(-1) gives: only a failure
    // leaves a code.
    ::SetLastError(0);
    const INT_PTR result =
        ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId),
                          ToWindow(owner), DialogTrampoline, reinterpret_cast<LPARAM>(&procedure));
    const DWORD error = ::GetLastError();
    if (result == -1 && error != 0) return port::Result<std::intptr_t>::Failed(error);
    return port::Result<std::intptr_t>::Ok(result);
  }

  port::Status SetDlgItemTextW(port::WindowHandle dialog, int controlId,
                               const std::wstring& text) override {
    return Outcome(::SetDlgItemTextW(ToWindow(dialog), controlId, text.c_str()));
  }

  port::Status SetWindowTextW(port::WindowHandle window, const std::wstring& text) override {
    return Outcome(::SetWindowTextW(ToWindow(window), text.c_str()));
  }

  port::Status EndDialog(port::WindowHandle dialog, std::intptr_t result) override {
    return Outcome(::EndDialog(ToWindow(dialog), result));
  }
};

}  // namespace

std::unique_ptr<port::Ui> MakeUi() { return std::make_unique<Win32Ui>(); }

}  // namespace qz::win32
