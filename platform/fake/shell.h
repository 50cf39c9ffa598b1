// FakeShell: the Shell port (platform/shell.h) in memory, for the native unit tests.
#pragma once
#include <functional>
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
  port::Status result;
  port::Status ShellExecuteW(port::WindowHandle, const std::wstring& verb, const std::wstring& file,
                             const std::wstring& parameters, const std::wstring& directory,
                             int showCommand) override {
    executions.push_back({verb, file, parameters, directory, showCommand});
    return result;
  }
  struct LaunchA {
    std::string verb, file, parameters;
    int show;
  };
  std::vector<LaunchA> launches;
  std::function<void(const std::string& file)> onLaunch;
  port::Status ShellExecuteA(const std::string& verb, const std::string& file,
                             const std::string& parameters, int show) override {
    launches.push_back({verb, file, parameters, show});
    if (onLaunch) onLaunch(file);
    return port::Status::Ok();
  }
};

}  // namespace qz::fake
