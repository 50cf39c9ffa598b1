// Top-level windows and messages over user32, with narrow class names.
#include <windows.h>

#include <vector>

#include "platform/win32/driver_patch_adapters.h"

namespace qz::win32 {

namespace {

BOOL CALLBACK Visit(HWND window, LPARAM context) {
  const auto& visit = *reinterpret_cast<const std::function<bool(port::Handle)>*>(context);
  return visit(reinterpret_cast<port::Handle>(window)) ? TRUE : FALSE;
}

class Win32TopWindows : public port::TopWindows {
 public:
  bool EnumWindows(const std::function<bool(port::Handle)>& visit) override {
    return ::EnumWindows(Visit, reinterpret_cast<LPARAM>(&visit)) != FALSE;
  }

  std::string GetClassNameA(port::Handle window, std::size_t bufferBytes) override {
    std::vector<char> buffer(bufferBytes + 1, '\0');
    ::GetClassNameA(reinterpret_cast<HWND>(window), buffer.data(), static_cast<int>(bufferBytes));
    return std::string(buffer.data());
  }

  bool PostMessageA(port::Handle window, unsigned message, std::uintptr_t wParam,
                    std::intptr_t lParam) override {
    return ::PostMessageA(reinterpret_cast<HWND>(window), message, wParam, lParam) != FALSE;
  }

  bool SendMessageTimeoutA(port::Handle window, unsigned message, std::uintptr_t wParam,
                           const void* lParam, unsigned flags, unsigned timeoutMs) override {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(reinterpret_cast<HWND>(window), message, wParam,
                                 reinterpret_cast<LPARAM>(lParam), flags, timeoutMs, &result) != 0;
  }
};

}  // namespace

std::unique_ptr<port::TopWindows> MakeTopWindows() { return std::make_unique<Win32TopWindows>(); }

}  // namespace qz::win32
