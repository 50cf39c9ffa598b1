// Child processes and their exit codes.
#pragma once
#include <string>

#include "platform/handles.h"
#include "platform/types.h"

namespace qz::port {

struct ProcessInformation {
  Handle process = 0;
  Handle thread = 0;
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
  virtual Result<DWORD> GetExitCodeProcess(Handle process) = 0;
  // kWaitObject0 when signalled, kWaitTimeout, or kWaitFailed.
  virtual DWORD WaitForSingleObject(Handle object, DWORD milliseconds) = 0;
  virtual bool CloseHandle(Handle object) = 0;
};

using UniqueProcessHandle = UniqueHandle<Processes, &Processes::CloseHandle>;

}  // namespace qz::port
