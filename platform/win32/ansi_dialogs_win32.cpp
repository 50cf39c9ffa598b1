// Modal dialogs of the program's own templates over user32. The portable
// procedure is reached through the one that runs now: dialogs of this
// program are modal and on one thread, and the dialog's parameter stays 0.
#include <windows.h>

#include "platform/win32/driver_patch_adapters.h"

namespace qz::win32 {

namespace {

const port::DialogProc* g_running = nullptr;

INT_PTR CALLBACK Forward(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_running == nullptr) return FALSE;
  return (*g_running)(reinterpret_cast<port::Handle>(window), message, wParam, lParam);
}

class Win32AnsiDialogs : public port::AnsiDialogs {
 public:
  std::intptr_t DialogBoxParamA(unsigned templateId, port::Handle owner,
                                const port::DialogProc& procedure) override {
    const port::DialogProc* outer = g_running;
    g_running = &procedure;
    const INT_PTR result = ::DialogBoxParamA(
        ::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId),
        reinterpret_cast<HWND>(owner), Forward, 0);
    g_running = outer;
    return result;
  }

  port::Handle GetDlgItem(port::Handle dialog, int id) override {
    return reinterpret_cast<port::Handle>(::GetDlgItem(reinterpret_cast<HWND>(dialog), id));
  }

  bool SetWindowTextW(port::Handle window, const std::wstring& text) override {
    return ::SetWindowTextW(reinterpret_cast<HWND>(window), text.c_str()) != FALSE;
  }

  bool EndDialog(port::Handle dialog, std::intptr_t result) override {
    return ::EndDialog(reinterpret_cast<HWND>(dialog), result) != FALSE;
  }

  port::DWORD GetLastError() override { return ::GetLastError(); }
};

}  // namespace

std::unique_ptr<port::AnsiDialogs> MakeAnsiDialogs() {
  return std::make_unique<Win32AnsiDialogs>();
}

}  // namespace qz::win32
