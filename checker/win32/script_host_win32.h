// The console script host as the syntax checker: cscript.exe on a
// temporary copy of the wrapped script, its output read back.
#pragma once
#include "checker/script_host.h"

namespace qz::check {

class Win32ScriptHost : public ScriptHost {
 public:
  std::string Unavailable() override;
  SyntaxResult Check(const std::wstring& wrappedScript) override;
};

}  // namespace qz::check
