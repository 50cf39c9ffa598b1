// Windows the user sees: message boxes and dialogs from the program's own
// templates.
#pragma once
#include <cstdint>
#include <string>

#include "platform/types.h"

namespace qz::port {

inline constexpr unsigned kWmClose = 0x0010;
inline constexpr unsigned kWmInitDialog = 0x0110;
inline constexpr unsigned kWmCommand = 0x0111;
inline constexpr int kIdCancel = 2;

// A dialog procedure in portable form: the adapter's own procedure hands
// every message on. Returns nonzero for a message it handled.
class DialogProcedure {
 public:
  virtual ~DialogProcedure() = default;
  virtual std::intptr_t OnMessage(WindowHandle dialog, unsigned message, std::uintptr_t wParam,
                                  std::intptr_t lParam) = 0;
};

class Ui {
 public:
  virtual ~Ui() = default;
  virtual WindowHandle GetDesktopWindow() = 0;
  // The button the user chose; fails when the box could not be shown.
  virtual Result<int> MessageBoxW(WindowHandle owner, const std::wstring& text,
                                  const std::wstring& caption, unsigned style) = 0;
  // DialogBoxParamW on the program's own module with parameter 0: shows
  // the template modally and returns what EndDialog gave; fails when the
  // dialog could not be shown.
  virtual Result<std::intptr_t> DialogBoxParamW(unsigned templateId, WindowHandle owner,
                                                DialogProcedure& procedure) = 0;
  virtual Status SetDlgItemTextW(WindowHandle dialog, int controlId, const std::wstring& text) = 0;
  virtual Status SetWindowTextW(WindowHandle window, const std::wstring& text) = 0;
  virtual Status EndDialog(WindowHandle dialog, std::intptr_t result) = 0;
};

}  // namespace qz::port
