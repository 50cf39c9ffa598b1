// The JScript syntax check: the console script host is given the rule
// script wrapped in a function that is never called, so nothing runs and
// a syntax error is reported with its line.
#pragma once
#include <optional>
#include <string>

namespace qz::check {

struct SyntaxResult {
  enum Kind { kClean, kError, kNotRun } kind = kNotRun;
  long line = 0;        // in the wrapped script; 0 when the host gave none
  std::string message;  // the host's text, or why it did not run
};

class ScriptHost {
 public:
  virtual ~ScriptHost() = default;
  // Empty when the check can run here; else why not.
  virtual std::string Unavailable() = 0;
  virtual SyntaxResult Check(const std::wstring& wrappedScript) = 0;
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

// One line before the script: its line n is line n + 1 of the result.
std::wstring WrapUncalled(const std::wstring& script);
inline constexpr long kWrapLines = 1;

// The host's report "...(LINE, COLUMN) Microsoft JScript compilation
// error: TEXT" (or runtime error), as line and text.
std::optional<std::pair<long, std::string>> ParseHostError(const std::string& output);

// A generated script as the manager wrote it (8-bit or UTF-16 with its
// mark, CR LF line ends) back to text with LF line ends.
std::wstring DecodeScript(const std::string& bytes);

}  // namespace qz::check
