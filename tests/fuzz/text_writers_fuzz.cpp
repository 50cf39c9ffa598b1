// Fuzz target: the log, rule script and return-code writers fed any wide
// texts. The first four bytes are the return code; the rest are UTF-16LE
// texts split at U+0000: the rule body, a header and a footer (each
// replaces the built-in one when not empty), then log entries as source,
// text and status. Every file must hold exactly what the texts give.
#include <cstring>

#include "manager/manager.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/targets.h"

namespace qz::fuzz {

namespace {

// A log field as a reader of the log must find it: the first 255
// characters, one byte each, "?" for a control character other than tab and
// for a character beyond 8 bits.
std::string LogField(const std::wstring& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size() && i < 255; ++i) {
    const auto ch = static_cast<std::uint32_t>(text[i]);
    out += (ch < 0x20 && ch != '\t') || ch > 0xFF ? '?' : static_cast<char>(ch);
  }
  return out;
}

}  // namespace

int TextWritersOneInput(const std::uint8_t* data, std::size_t size) {
  std::int32_t code = 0;
  if (size >= 4) {
    std::memcpy(&code, data, 4);
    data += 4;
    size -= 4;
  }
  std::vector<std::wstring> parts = WideParts(data, size);
  parts.resize(std::max<std::size_t>(parts.size(), 3));
  Machine machine;
  std::vector<std::string> expectedLog;
  std::wstring expectedScript;
  {
    CVRNManager manager(machine.fake.os);
    if (!parts[1].empty()) manager.m_scriptHeader = parts[1];
    if (!parts[2].empty()) manager.m_scriptFooter = parts[2];
    for (std::size_t i = 3; i < parts.size(); i += 3) {
      const std::wstring& source = parts[i];
      const std::wstring text = i + 1 < parts.size() ? parts[i + 1] : L"";
      const std::wstring status = i + 2 < parts.size() ? parts[i + 2] : L"";
      manager.WriteLog(source, text, status);
      expectedLog.push_back(LogField(source) + "  " + LogField(text) + "  " + LogField(status));
    }
    manager.WriteRuleScript(L"Main", parts[0]);
    expectedScript = manager.m_scriptHeader + L"\n" + parts[0] + manager.m_scriptFooter + L"\n";
    Check(manager.WriteReturnCode(code) == 1, "WriteReturnCode did not return 1");
  }
  expectedLog.push_back("CVRNManager  ~CVRNManager  Started");
  CheckAfterRun(machine, false);
  Check(machine.fake.LogLines() == expectedLog, "the log does not hold the entries written");
  std::wstring script;
  DecodeScript(*machine.fake.files.Contents(L"C:\\patch\\TestCode_Main.js"), script);
  Check(script == expectedScript, "the rule script does not read back as written");
  Check(machine.fake.files.Contents(L"C:\\patch\\QZVRN_Returncode.txt") == std::to_string(code),
        "the return-code file does not hold the code alone");
  return 0;
}

}  // namespace qz::fuzz

QZ_FUZZ_ENTRY(qz::fuzz::TextWritersOneInput)
