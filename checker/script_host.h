// The JScript syntax check. A generated rule script is patch text: the
// script host never runs it, not even as part of a script of its own. A
// fixed host script reads the rule script from a file, as data, and
// compiles it as the body of a function that it never calls, so no text of
// a rule, whatever braces it holds, reaches the top level.
#pragma once
#include <string>

namespace qz::check {

struct SyntaxResult {
  enum Kind { kClean, kError, kNotRun } kind = kNotRun;
  long line = 0;        // in the rule script; 0 when the host gave none
  std::string message;  // the host's text, or why it did not run
};

class ScriptHost {
 public:
  virtual ~ScriptHost() = default;
  // Empty when the check can run here; else why not.
  virtual std::string Unavailable() = 0;
  virtual SyntaxResult Check(const std::wstring& script) = 0;
};

// A host that never runs (no script host on this system).
class NoScriptHost : public ScriptHost {
 public:
  explicit NoScriptHost(std::string why) : why_(std::move(why)) {}
  std::string Unavailable() override { return why_; }
  SyntaxResult Check(const std::wstring&) override { return {SyntaxResult::kNotRun, 0, why_}; }

 private:
  std::string why_;
};

// The host script for cscript.exe: its first argument names the rule
// script, UTF-16 with its mark. It answers with one line that
// ParseHostReport reads.
extern const char kHostScript[];

// The host script's answer: clean, a syntax error with the host's text
// (JScript says no line for it), or anything else (the host's own
// complaint, no answer at all) as not run.
SyntaxResult ParseHostReport(const std::string& output);

// A generated script as the manager wrote it (8-bit or UTF-16 with its
// mark, CR LF line ends) back to text with LF line ends.
std::wstring DecodeScript(const std::string& bytes);

}  // namespace qz::check
