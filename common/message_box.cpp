#include "common/message_box.h"

namespace qz {

int ShowMessageUnlessQuiet(port::Ui& ui, bool quiet, port::Handle owner, const std::wstring& text,
                           const std::wstring& caption, unsigned style) {
  if (quiet) return 1;
  return ui.MessageBoxW(owner, text, caption, style);
}

}  // namespace qz
