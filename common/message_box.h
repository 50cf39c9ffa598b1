// The message box both programs show: a standard box, or nothing at all in
// an unattended run.
#pragma once
#include <string>

#include "platform/ui.h"

namespace qz {

// Shows the box and returns its result; returns 1 (IDOK) without showing
// anything when `quiet`.
port::Result<int> ShowMessageUnlessQuiet(port::Ui& ui, bool quiet, port::WindowHandle owner,
                                         const std::wstring& text, const std::wstring& caption,
                                         unsigned style);

}  // namespace qz
