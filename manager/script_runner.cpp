// CallJScript runs one rule script under the console script host and turns
// its exit code into the rule result; RunProcess runs a patch program to
// its end. Both wait for their child and close its handles on every path.
#include <cstdio>
#include <optional>
#include <string>

#include "manager/manager.h"
#include "manager/patch_names.h"

namespace qz {

namespace {

constexpr wchar_t kClass[] = L"CVRNManager";
constexpr wchar_t kCallJScript[] = L"CVRNManager:CallJScript";
constexpr wchar_t kRunProcess[] = L"CVRNManager:RunProcess";

// A longer command line or program path is refused, never cut into
// another command.
constexpr std::size_t kPathLimit = kProcessTextLimit;

// The host is checked at most this far apart, but waited for on its
// handle in between, so a rule that ends early costs no idle time.
constexpr port::DWORD kPollMilliseconds = 500;
// An exit-code query that fails this many times in a row is given up.
constexpr int kQueryRetries = 5;
constexpr port::DWORD kQueryRetryPause = 20;

// The result of a rule that cannot be evaluated.
constexpr int kNoAnswer = 1;

// Waits for the script host to end and returns its exit code, or nothing
// when the code cannot be read.
//
// A code of 259 (STILL_ACTIVE) is ambiguous: the host may run on, or may
// have ended with that very code. The handle tells them apart: once it is
// signalled the process has ended, and a 259 read after that is its code.
std::optional<port::DWORD> WaitForExitCode(port::Processes& processes, port::SystemInfo& system,
                                           port::ProcessHandle process) {
  int failedInARow = 0;
  bool ended = false;
  for (;;) {
    const port::Result<port::DWORD> queried = processes.GetExitCodeProcess(process);
    if (!queried) {
      if (++failedInARow > kQueryRetries) return std::nullopt;
      system.Sleep(kQueryRetryPause);
      continue;
    }
    failedInARow = 0;
    const port::DWORD code = queried.value;
    if (code != port::kStillActive || ended) return code;
    const port::DWORD wait = processes.WaitForSingleObject(process, kPollMilliseconds);
    if (wait == port::kWaitObject0) {
      ended = true;
    } else if (wait != port::kWaitTimeout) {
      // The handle cannot be waited on: poll as the plain loop would.
      system.Sleep(kPollMilliseconds);
    }
  }
}

}  // namespace

int CVRNManager::CallJScript(std::wstring scriptName) {
  LogStarted(kClass, L"CallJScript");
  int result = kNoAnswer;
  try {
    CheckControl();

    const port::Result<std::wstring> system = os_.system.GetSystemDirectoryW();
    const std::wstring systemDirectory = system ? system.value : std::wstring();
    const std::wstring host = systemDirectory + L"\\cscript.exe";
    // The host gets no options of its own, only the quoted script name.
    const std::wstring commandLine = host + L" \"" + scriptName + L"\"";
    if (host.size() > kPathLimit) {
      WriteLog(kCallJScript, L"Script host path too long", std::to_wstring(host.size()));
      return kNoAnswer;
    }
    if (commandLine.size() > kPathLimit) {
      WriteLog(kCallJScript, L"Command line too long", std::to_wstring(commandLine.size()));
      return kNoAnswer;
    }

    const port::Result<port::ProcessInformation> started =
        os_.processes.CreateProcessW(host, commandLine, port::kCreateNoWindow);
    const port::UniqueProcessHandle process(os_.processes, started.value.process);
    const port::UniqueProcessHandle thread(os_.processes, started.value.thread);
    if (!started) {
      std::printf("CreateProcess failed (%d).\n", static_cast<int>(started.status.error));
      std::fflush(stdout);
      WriteLog(kCallJScript, L"cannot run Java script", L"CreateProcess failed");
      return kNoAnswer;
    }

    const auto code = WaitForExitCode(os_.processes, os_.system, process.Get());
    if (!code) {
      WriteLog(kCallJScript, L"Exit code not readable", L"GetExitCodeProcess failed");
    } else if (*code == 0xFFFFFFFFu) {
      result = -1;
    } else if (*code == 0) {
      result = 0;
    }
  } catch (...) {
    WriteLog(kCallJScript, L"Exception occured", L"failed");
    result = kNoAnswer;
  }
  LogEnded(kClass, L"CallJScript");
  return result;
}

bool CVRNManager::RunProcess(std::wstring applicationPath, std::wstring commandLine,
                             port::DWORD creationFlags) {
  try {
    LogStarted(kClass, L"RunProcess");
    WriteLog(kRunProcess, L"Runprocess File= " + applicationPath + L", Cmdline = " + commandLine,
             L"Info");
    if (applicationPath.size() > kPathLimit) {
      WriteLog(kRunProcess, L"Application path too long", std::to_wstring(applicationPath.size()));
      return false;
    }
    if (commandLine.size() > kPathLimit) {
      WriteLog(kRunProcess, L"Command line too long", std::to_wstring(commandLine.size()));
      return false;
    }

    const port::Result<port::ProcessInformation> started =
        os_.processes.CreateProcessW(applicationPath, commandLine, creationFlags);
    const port::UniqueProcessHandle process(os_.processes, started.value.process);
    const port::UniqueProcessHandle thread(os_.processes, started.value.thread);
    if (!started) {
      WriteLog(kRunProcess,
               L"CreateProcess failed (GetLastError = " +
                   std::to_wstring(static_cast<int>(started.status.error)) + L")",
               L"failed");
      return false;
    }
    // Patch programs get all the time they need; their exit code is theirs.
    // A wait that fails would let the next step run beside the program.
    if (os_.processes.WaitForSingleObject(process.Get(), port::kInfinite) != port::kWaitObject0) {
      WriteLog(kRunProcess, L"WaitForSingleObject failed", L"failed");
      return false;
    }
  } catch (...) {
    WriteLog(kRunProcess, L"Exception occured", L"Error");
    return false;
  }
  LogEnded(kClass, L"RunProcess");
  return true;
}

}  // namespace qz
