// Windows the user sees: message boxes and the restart dialog.
#pragma once
#include <functional>
#include <string>

#include "platform/types.h"

namespace qz::port {

class Ui {
 public:
  virtual ~Ui() = default;
  virtual Handle GetDesktopWindow() = 0;
  virtual int MessageBoxW(Handle owner, const std::wstring& text,
                          const std::wstring& caption, unsigned style) = 0;
};

}  // namespace qz::port
