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
  // whether to go on; the result is EnumWindows' own.
  virtual bool EnumWindows(const std::function<bool(Handle)>& visit) = 0;
  // GetClassNameA into a zero-filled buffer of `bufferBytes`.
  virtual std::string GetClassNameA(Handle window, std::size_t bufferBytes) = 0;
  virtual bool PostMessageA(Handle window, unsigned message, std::uintptr_t wParam,
                            std::intptr_t lParam) = 0;
  // SendMessageTimeoutA with an lParam that points at `lParam` (a record
  // the receiver reads); false when it failed or timed out.
  virtual bool SendMessageTimeoutA(Handle window, unsigned message, std::uintptr_t wParam,
                                   const void* lParam, unsigned flags, unsigned timeoutMs) = 0;
};

}  // namespace qz::port
