// Child processes over kernel32. The process and thread handles go to
// the core, which waits for the child and closes both.
#include <windows.h>

#include <vector>

#include "platform/win32/win32_platform.h"

namespace qz::win32 {

namespace {

HANDLE ToHandle(port::ProcessHandle h) { return reinterpret_cast<HANDLE>(h.value); }
port::ProcessHandle FromHandle(HANDLE h) { return {reinterpret_cast<std::uintptr_t>(h)}; }

class Win32Processes : public port::Processes {
 public:
  port::Result<port::ProcessInformation> CreateProcessW(const std::wstring& applicationName,
                                                        const std::wstring& commandLine,
                                                        port::DWORD creationFlags) override {
    // CreateProcessW may write into its command line, so it gets a copy of
    // its own; an empty one is still a (terminated) buffer.
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(applicationName.empty() ? nullptr : applicationName.c_str(), line.data(),
                          nullptr, nullptr, FALSE, creationFlags, nullptr, nullptr, &startup,
                          &started)) {
      return port::Result<port::ProcessInformation>::Failed(::GetLastError());
    }
    return port::Result<port::ProcessInformation>::Ok(
        {FromHandle(started.hProcess), FromHandle(started.hThread)});
  }

  port::Result<port::DWORD> GetExitCodeProcess(port::ProcessHandle process) override {
    DWORD code = 0;
    if (!::GetExitCodeProcess(ToHandle(process), &code)) {
      return port::Result<port::DWORD>::Failed(::GetLastError());
    }
    return port::Result<port::DWORD>::Ok(code);
  }

  port::DWORD WaitForSingleObject(port::ProcessHandle object, port::DWORD milliseconds) override {
    return ::WaitForSingleObject(ToHandle(object), milliseconds);
  }

  port::Status CloseHandle(port::ProcessHandle object) override {
    if (!::CloseHandle(ToHandle(object))) return port::Status::Failed(::GetLastError());
    return port::Status::Ok();
  }
};

}  // namespace

std::unique_ptr<port::Processes> MakeProcesses() { return std::make_unique<Win32Processes>(); }

}  // namespace qz::win32
