#include "checker/script_host.h"

namespace qz::check {

// The file system object reads UTF-16 (format -1) but may keep the mark.
// A caught JScript error has a description and no line.
const char kHostScript[] = R"js(var out = WScript.StdOut, text;
try {
  var file = new ActiveXObject("Scripting.FileSystemObject")
                 .OpenTextFile(WScript.Arguments(0), 1, false, -1);
  text = file.AtEndOfStream ? "" : file.ReadAll();
  file.Close();
} catch (e) {
  out.WriteLine("qzvrn-check-host: not run: cannot read the rule script: " + e.description);
  WScript.Quit(2);
}
if (text.charCodeAt(0) == 0xFEFF) text = text.substring(1);
try {
  new Function(text);
} catch (e) {
  out.WriteLine("qzvrn-check-host: " + (e instanceof SyntaxError ? "syntax error: " : "not run: ") +
                e.description);
  WScript.Quit(1);
}
out.WriteLine("qzvrn-check-host: clean");
WScript.Quit(0);
)js";

SyntaxResult ParseHostReport(const std::string& output) {
  static const std::string kMarker = "qzvrn-check-host: ";
  const std::size_t at = output.find(kMarker);
  const std::size_t from = at == std::string::npos ? 0 : at + kMarker.size();
  std::string line = output.substr(from, output.find_first_of("\r\n", from) - from);
  if (at == std::string::npos) {
    return {SyntaxResult::kNotRun, 0,
            line.empty() ? "the script host gave no answer" : "the script host says: " + line};
  }
  if (line == "clean") return {SyntaxResult::kClean, 0, {}};
  struct Answer {
    std::string start;
    SyntaxResult::Kind kind;
  };
  for (const Answer& a : {Answer{"syntax error: ", SyntaxResult::kError},
                          Answer{"not run: ", SyntaxResult::kNotRun}}) {
    if (line.rfind(a.start, 0) == 0) return {a.kind, 0, line.substr(a.start.size())};
  }
  return {SyntaxResult::kNotRun, 0, "the script host says: " + line};
}

std::wstring DecodeScript(const std::string& bytes) {
  std::wstring text;
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (bytes.size() >= 2 && at(0) == 0xFF && at(1) == 0xFE) {
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      text += static_cast<wchar_t>(at(i) | at(i + 1) << 8);
    }
  } else {
    for (std::size_t i = 0; i < bytes.size(); ++i) text += static_cast<wchar_t>(at(i));
  }
  std::wstring out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') continue;
    out += text[i];
  }
  return out;
}

}  // namespace qz::check
