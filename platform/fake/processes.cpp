// The fake processes: scripted programs and their exit codes.
#include "platform/fake/fake_platform.h"

namespace qz::fake {

port::Result<port::ProcessInformation> FakeProcesses::CreateProcessW(
    const std::wstring& applicationName, const std::wstring& commandLine, DWORD creationFlags) {
  using Started = port::Result<port::ProcessInformation>;
  launches.push_back({applicationName, commandLine, creationFlags});
  auto it = programs.find(Fold(applicationName));
  if (it == programs.end()) {
    if (unknownProgramError) return Started::Failed(*unknownProgramError);
    it = programs.emplace(Fold(applicationName), Program{}).first;
  }
  if (it->second.startError) return Started::Failed(*it->second.startError);
  if (it->second.onStart) it->second.onStart();
  port::ProcessInformation info;
  info.process = port::ProcessHandle{next_++};
  info.thread = port::ProcessHandle{next_++};
  open_[info.process] = Running{it->second, false};
  open_[info.thread] = Running{{}, true};
  return Started::Ok(info);
}

port::Result<DWORD> FakeProcesses::GetExitCodeProcess(port::ProcessHandle process) {
  using Code = port::Result<DWORD>;
  ++exitCodeQueries;
  auto it = open_.find(process);
  if (it == open_.end() || it->second.thread) return Code::Failed(port::kErrorInvalidHandle);
  Program& p = it->second.program;
  if (p.failedQueries > 0) {
    --p.failedQueries;
    return Code::Failed(port::kErrorInvalidHandle);
  }
  if (p.neverEnds || p.stillActiveQueries > 0) {
    if (p.stillActiveQueries > 0) --p.stillActiveQueries;
    return Code::Ok(port::kStillActive);
  }
  return Code::Ok(p.exitCode);
}

DWORD FakeProcesses::WaitForSingleObject(port::ProcessHandle object, DWORD milliseconds) {
  waits.push_back(milliseconds);
  auto it = open_.find(object);
  if (it == open_.end()) return port::kWaitFailed;
  Program& p = it->second.program;
  if (p.neverEnds) return port::kWaitTimeout;
  if (p.waitsBeforeExit > 0) {
    --p.waitsBeforeExit;
    return port::kWaitTimeout;
  }
  // Once the process is waited for to its end it no longer reports 259
  // (unless that is its real exit code).
  p.stillActiveQueries = 0;
  return port::kWaitObject0;
}

port::Status FakeProcesses::CloseHandle(port::ProcessHandle object) {
  return open_.erase(object) ? port::Status::Ok() : port::Status::Failed(port::kErrorInvalidHandle);
}

}  // namespace qz::fake
