// Top-level windows and messages over user32, with narrow class names.
#include <windows.h>

#include <vector>

#include "platform/win32/driver_patch_adapters.h"

namespace qz::win32 {

namespace {

HWND ToWindow(port::WindowHandle window) { return reinterpret_cast<HWND>(window.value); }

BOOL CALLBACK Visit(HWND window, LPARAM context) {
  const auto& visit = *reinterpret_cast<const std::function<bool(port::WindowHandle)>*>(context);
  return visit(port::WindowHandle{reinterpret_cast<std::uintptr_t>(window)}) ? TRUE : FALSE;
}

class Win32TopWindows : public port::TopWindows {
 public:
  port::Status EnumWindows(const std::function<bool(port::WindowHandle)>& visit) override {
    if (::EnumWindows(Visit, reinterpret_cast<LPARAM>(&visit))) return port::Status::Ok();
    return port::Status::Failed(::GetLastError());
  }

  std::string GetClassNameA(port::WindowHandle window, std::size_t bufferBytes) override {
    std::vector<char> buffer(bufferBytes + 1, '\0');
    ::GetClassNameA(ToWindow(window), buffer.data(), static_cast<int>(bufferBytes));
    return std::string(buffer.data());
  }

  port::Status PostMessageA(port::WindowHandle window, unsigned message, std::uintptr_t wParam,
                            std::intptr_t lParam) override {
    if (::PostMessageA(ToWindow(window), message, wParam, lParam)) return port::Status::Ok();
    return port::Status::Failed(::GetLastError());
  }

  port::Status SendMessageTimeoutA(port::WindowHandle window, unsigned message,
                                   std::uintptr_t wParam, const void* lParam, unsigned flags,
                                   unsigned timeoutMs) override {
    DWORD_PTR result = 0;
    if (::SendMessageTimeoutA(ToWindow(window), message, wParam, reinterpret_cast<LPARAM>(lParam),
                              flags, timeoutMs, &result) != 0) {
      return port::Status::Ok();
    }
    return port::Status::Failed(::GetLastError());
  }
};

}  // namespace

std::unique_ptr<port::TopWindows> MakeTopWindows() { return std::make_unique<Win32TopWindows>(); }

}  // namespace qz::win32
