// Windows the user sees, over user32.
#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace qz::win32 {

namespace {

class Win32Ui : public port::Ui {
 public:
  port::Handle GetDesktopWindow() override {
    return reinterpret_cast<port::Handle>(::GetDesktopWindow());
  }

  int MessageBoxW(port::Handle owner, const std::wstring& text,
                  const std::wstring& caption, unsigned style) override {
    return ::MessageBoxW(reinterpret_cast<HWND>(owner), text.c_str(), caption.c_str(),
                         style);
  }
};

}  // namespace

std::unique_ptr<port::Ui> MakeUi() { return std::make_unique<Win32Ui>(); }

}  // namespace qz::win32
