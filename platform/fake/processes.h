// FakeProcesses: the Processes port (platform/processes.h) in memory, for the native unit tests.
#pragma once
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/fake/fold.h"
#include "platform/processes.h"

namespace qz::fake {

class FakeProcesses : public port::Processes {
 public:
  // What a started program does, by folded application path.
  struct Program {
    DWORD exitCode = 0;
    std::optional<DWORD> startError;  // CreateProcessW fails with this
    int stillActiveQueries = 0;       // exit-code queries that say 259 first
    int failedQueries = 0;            // exit-code queries that fail first
    int waitsBeforeExit = 0;          // waits that time out before the end
    bool neverEnds = false;
    // Run when the process starts, e.g. to let the program write files.
    std::function<void()> onStart;
  };
  struct Launch {
    std::wstring applicationName;
    std::wstring commandLine;
    DWORD creationFlags;
  };
  std::map<std::wstring, Program> programs;
  std::optional<DWORD> unknownProgramError = 2;  // ERROR_FILE_NOT_FOUND
  std::vector<Launch> launches;
  int exitCodeQueries = 0;
  std::vector<DWORD> waits;
  std::size_t OpenHandles() const { return open_.size(); }

  port::Result<port::ProcessInformation> CreateProcessW(const std::wstring& applicationName,
                                                        const std::wstring& commandLine,
                                                        DWORD creationFlags) override;
  port::Result<DWORD> GetExitCodeProcess(port::ProcessHandle process) override;
  DWORD WaitForSingleObject(port::ProcessHandle object, DWORD milliseconds) override;
  port::Status CloseHandle(port::ProcessHandle object) override;

 private:
  struct Running {
    Program program;
    bool thread = false;
  };
  std::map<port::ProcessHandle, Running> open_;
  std::uintptr_t next_ = 0x300;
};

}  // namespace qz::fake
