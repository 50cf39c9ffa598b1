// The outcome of one patch-manager run as a management tool needs it,
// judged from what the run left: its log, the return-code file and the
// manager's exit code.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace qz::deploy {

enum class Outcome { kApplied, kNotNeeded, kBusy, kFailed };
enum class Restart { kNone, kPending, kStarted };

struct Verdict {
  Outcome outcome = Outcome::kFailed;
  Restart restart = Restart::kNone;
  std::string failedStep;  // the manager's step that failed; empty otherwise
  std::string detail;      // one sentence for the console
};

// The Windows Installer codes that every management tool understands.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitRestartPending = 3010;
inline constexpr int kExitRestartStarted = 1641;
inline constexpr int kExitBusy = 1618;
inline constexpr int kExitFailure = 1603;

int ExitCodeOf(const Verdict& verdict);

// What a finished run left behind. A file that the run did not write
// (older than its start) counts as missing.
struct RunTraces {
  std::optional<std::string> log;  // the log's bytes
  bool logWrittenByThisRun = false;
  std::optional<std::string> returnCode;  // the return-code file's bytes
  std::uint32_t managerExitCode = 0;
};

Verdict JudgeRun(const RunTraces& traces);

}  // namespace qz::deploy
