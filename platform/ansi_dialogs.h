// A modal dialog from the program's own template, started with a narrow
// call and labelled with wide texts.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "platform/types.h"

namespace qz::port {

inline constexpr unsigned kWmInitDialog = 0x0110;
inline constexpr unsigned kWmCommand = 0x0111;

// A dialog procedure: window, message, wParam, lParam; TRUE when handled.
using DialogProc =
    std::function<std::intptr_t(Handle, unsigned, std::uintptr_t, std::intptr_t)>;

class AnsiDialogs {
 public:
  virtual ~AnsiDialogs() = default;
  // DialogBoxParamA with the program's instance, template `templateId`,
  // `owner` and parameter 0; returns when the dialog has ended.
  virtual std::intptr_t DialogBoxParamA(unsigned templateId, Handle owner,
                                        const DialogProc& procedure) = 0;
  // 0 when the dialog has no such control.
  virtual Handle GetDlgItem(Handle dialog, int id) = 0;
  virtual bool SetWindowTextW(Handle window, const std::wstring& text) = 0;
  virtual bool EndDialog(Handle dialog, std::intptr_t result) = 0;
  virtual DWORD GetLastError() = 0;
};

}  // namespace qz::port
