#include "common/message_box.h"

namespace qz {

port::Result<int> ShowMessageUnlessQuiet(port::Ui& ui, bool quiet, port::WindowHandle owner,
                                         const std::wstring& text, const std::wstring& caption,
                                         unsigned style) {
  if (quiet) return port::Result<int>::Ok(1);
  return ui.MessageBoxW(owner, text, caption, style);
}

}  // namespace qz
