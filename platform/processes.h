// Child processes and their exit codes.
#pragma once
#include <string>

#include "platform/handles.h"
#include "platform/types.h"

namespace qz::port {

struct ProcessInformation {
  ProcessHandle process;
  ProcessHandle thread;
};

class Processes {
 public:
  virtual ~Processes() = default;
  // CreateProcessW with the application name, a writable copy of the
  // command line (an empty one is passed as an empty string), no
  // inheritance, the given flags, the caller's environment and current
  // directory and a zeroed start-up record: the new process and thread.
  virtual Result<ProcessInformation> CreateProcessW(const std::wstring& applicationName,
                                                    const std::wstring& commandLine,
                                                    DWORD creationFlags) = 0;
  // The exit code, or kStillActive while the process runs.
  virtual Result<DWORD> GetExitCodeProcess(ProcessHandle process) = 0;
  // kWaitObject0 when signalled, kWaitTimeout, or kWaitFailed: Win32's
  // own answer, since a time-out is no failure.
  virtual DWORD WaitForSingleObject(ProcessHandle object, DWORD milliseconds) = 0;
  virtual Status CloseHandle(ProcessHandle object) = 0;
};

using UniqueProcessHandle = UniqueHandle<Processes, &Processes::CloseHandle>;

}  // namespace qz::port
