// FakeDeployment: the Deployment port (platform/deployment.h) in memory, for the native unit tests.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/deployment.h"
#include "platform/fake/fold.h"
#include "platform/fake/processes.h"

namespace qz::fake {

// The deployment wrapper's calls: images that are running, file times by
// folded path, and what it printed.
class FakeDeployment : public port::Deployment {
 public:
  std::set<std::wstring> runningImages;  // folded
  // Starts go on to these processes; what they were given is kept.
  FakeProcesses* processes = nullptr;
  std::optional<std::wstring> currentDirectory;
  std::vector<std::pair<std::wstring, std::wstring>> variables;
  std::map<std::wstring, std::uint64_t> writeTimes;               // folded
  std::map<std::wstring, std::array<std::uint16_t, 4>> versions;  // folded
  std::uint64_t now = 134000000000000000ull;
  port::LocalTime localTime{2026, 12, 9, 10, 15, 0};
  std::wstring computer = L"WS0042";
  std::string output;

  port::Status CreateFileW(const std::wstring& path, DWORD desiredAccess, DWORD shareMode) override;
  port::Result<port::ProcessInformation> CreateProcessW(
      const std::wstring& applicationName, const std::wstring& commandLine,
      const std::wstring& currentDirectory,
      const std::vector<std::pair<std::wstring, std::wstring>>& variables) override;
  port::Result<std::uint64_t> GetFileLastWriteTime(const std::wstring& path) override;
  port::Result<std::array<std::uint16_t, 4>> GetFileVersionInfoW(const std::wstring& path) override;
  std::uint64_t GetSystemTimeAsFileTime() override { return now; }
  port::LocalTime GetLocalTime() override { return localTime; }
  std::wstring GetComputerNameW() override { return computer; }
  port::Status WriteStdOutput(const std::string& bytes) override;
};

}  // namespace qz::fake
