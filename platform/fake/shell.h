// FakeShell: the Shell port (platform/shell.h) in memory, for the native unit tests.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/fake/fold.h"
#include "platform/shell.h"

namespace qz::fake {

class FakeShell : public port::Shell {
 public:
  struct Execution {
    std::wstring verb, file, parameters, directory;
    int showCommand;
  };
  std::vector<Execution> executions;
  std::uintptr_t result = 42;
  std::uintptr_t ShellExecuteW(Handle, const std::wstring& verb, const std::wstring& file,
                               const std::wstring& parameters, const std::wstring& directory,
                               int showCommand) override {
    executions.push_back({verb, file, parameters, directory, showCommand});
    return result;
  }
};

}  // namespace qz::fake
