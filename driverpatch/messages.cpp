// The driver patch's messages: the language of the string table, the text
// and the message box.
#include "common/message_box.h"
#include "common/string_loader.h"
#include "driverpatch/driver_patch.h"

namespace qz::driverpatch {

port::LANGID GetMessageLanguage(DriverPatch& run) {
  const port::LANGID language = run.os.system.GetSystemDefaultLangID();
  const unsigned primary = language & 0x3FF;
  const unsigned sub = language >> 10;
  switch (primary) {
    case 0x01: return 1025;
    case 0x04: return sub == 2 ? 2052 : 1028;  // Singapore reads Traditional
    case 0x07: return 1031;
    case 0x0A: return 1034;
    case 0x0C: return 1036;
    case 0x10: return 1040;
    case 0x13: return 1043;
    case 0x14: return 1044;
    case 0x16: return 1046;
    case 0x1D: return 1053;
    default: return 0;
  }
}

std::wstring MsgDisplayString(DriverPatch& run, port::LANGID language, unsigned id) {
  Trace(run, "%s %s", "TXLDriverPatchMsgDisplayString", "- Entering");
  // Language 0 takes the thread's language first, then the neutral table,
  // on every platform; a text found nowhere is empty.
  std::wstring text = LoadResourceString(run.os.resources, run.os.system, id, language);
  Trace(run, "%s %s", "TXLDriverPatchMsgDisplayString", "- Exiting");
  return text;
}

void DisplayMessage(DriverPatch& run, unsigned id) {
  if (run.state.silent) return;
  Trace(run, "%s %s", "TXLDriverPatch::DisplayMessage", "- Entering");
  ShowMessageUnlessQuiet(run.os.ui, false, port::WindowHandle{},
                         MsgDisplayString(run, GetMessageLanguage(run), id), L"QZ", port::kMbOk);
  Trace(run, "%s %s", "TXLDriverPatch::DisplayMessage", "- Exiting");
}

}  // namespace qz::driverpatch
