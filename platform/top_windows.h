// Top-level windows of the desktop and the messages sent to them, with
// narrow class names.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/types.h"

namespace qz::port {

inline constexpr unsigned kSmtoAbortIfHung = 0x0002;

class TopWindows {
 public:
  virtual ~TopWindows() = default;
  // EnumWindows: `visit` is called for each top-level window and returns
  // whether to go on; a visit that stops it fails it too, as in Win32.
  virtual Status EnumWindows(const std::function<bool(WindowHandle)>& visit) = 0;
  // GetClassNameA into a zero-filled buffer of `bufferBytes`. An empty
  // name is its failure (no class is nameless); nothing logs its code.
  virtual std::string GetClassNameA(WindowHandle window, std::size_t bufferBytes) = 0;
  virtual Status PostMessageA(WindowHandle window, unsigned message, std::uintptr_t wParam,
                              std::intptr_t lParam) = 0;
  // SendMessageTimeoutA with an lParam that points at `lParam` (a record
  // the receiver reads); a timeout fails it with ERROR_TIMEOUT.
  virtual Status SendMessageTimeoutA(WindowHandle window, unsigned message, std::uintptr_t wParam,
                                     const void* lParam, unsigned flags, unsigned timeoutMs) = 0;
};

}  // namespace qz::port
