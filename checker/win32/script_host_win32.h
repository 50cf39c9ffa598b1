// The console script host as the syntax checker: cscript.exe from the
// system folder runs the fixed host script over a temporary copy of the
// rule script, and its answer is read back.
#pragma once
#include "checker/script_host.h"

namespace qz::check {

class Win32ScriptHost : public ScriptHost {
 public:
  std::string Unavailable() override;
  SyntaxResult Check(const std::wstring& script) override;
};

}  // namespace qz::check
