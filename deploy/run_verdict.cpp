// Reads the manager's log entry by entry. Only whole lines count: the
// manager flushes each entry, so a line without its end was cut off. Any
// log that does not tell the story of exactly one run to its end is a
// failure: a run nobody can account for must never show as installed.
#include "deploy/run_verdict.h"

#include <algorithm>
#include <vector>

#include "common/manager_contract.h"
#include "common/utf8.h"

namespace qz::deploy {

namespace {

namespace c = contract;

// One log line as the manager writes it (its texts are ASCII).
std::string Line(const wchar_t* source, const wchar_t* text, const wchar_t* status = nullptr) {
  std::wstring line = std::wstring(source) + c::kLogSeparator + text + c::kLogSeparator;
  if (status) line += status;
  return ToUtf8(line);
}

const std::string kMainStarted = Line(c::kEntryClass, c::kEntryMethod, c::kStarted);
const std::string kMainEnded = Line(c::kEntryClass, c::kEntryMethod, c::kEnded);
const std::string kMainSource = ToUtf8(std::wstring(c::kMainSource) + c::kLogSeparator);
const std::string kUpdateEnded = Line(c::kManagerClass, c::kDoUpdate, c::kEnded);
const std::string kShutDownEnded = Line(c::kManagerClass, c::kShutDown, c::kEnded);
const std::string kShutdownInfo = Line(c::kSystemShutdownSource, c::kInfo);
const std::string kForceReboot = ToUtf8(c::kForceReboot);
const std::string kRestartNow = ToUtf8(c::kRestartNow);
const std::string kRestartLater = ToUtf8(c::kRestartLater);
const std::string kReturnCodePending = std::to_string(c::kReturnCodeRestartPending);
const std::string kUpdateNotRequired = ToUtf8(c::kUpdateNotRequired);
const std::string kRuleReturnedFalse = ToUtf8(c::kRuleReturnedFalse);
const std::string kUpdateCompleted = ToUtf8(c::kUpdateCompleted);
const std::string kSuccess = ToUtf8(c::kSuccess);
const std::string kFailedStatus = ToUtf8(c::kFailed);
constexpr std::uint32_t kManagerException = 0xFFFFFFFFu;

// Steps that end the run with "this update does not apply to this
// machine": the manager's own verdict, not a fault.
const std::string kNotApplicable[] = {ToUtf8(c::kStepOsNotSupported), ToUtf8(c::kStepCheckOs),
                                      ToUtf8(c::kStepLocateInstallPath)};

std::vector<std::string> WholeLines(const std::string& log) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = log.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string line = log.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  return lines;
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

Verdict Failed(std::string detail, std::string step = {}) {
  Verdict v;
  v.outcome = Outcome::kFailed;
  v.failedStep = std::move(step);
  v.detail = std::move(detail);
  return v;
}

// The step's name without the colon of its log label.
std::string StepName(std::string label) {
  if (!label.empty() && label.back() == ':') label.pop_back();
  return label;
}

// A restart the run leaves behind: the manager's own choice, or a pending
// one that only the return-code file tells (the driver patch writes it).
Restart RestartOf(const std::vector<std::string>& lines,
                  const std::optional<std::string>& returnCode) {
  const bool asked =
      Has(lines, kShutdownInfo + kForceReboot) || Has(lines, kShutdownInfo + kRestartNow);
  // ShutDown logs its Ended entry only when Windows took the request.
  if (asked && Has(lines, kShutDownEnded)) return Restart::kStarted;
  if (asked || Has(lines, kShutdownInfo + kRestartLater)) return Restart::kPending;
  if (returnCode && *returnCode == kReturnCodePending) return Restart::kPending;
  return Restart::kNone;
}

}  // namespace

int ExitCodeOf(const Verdict& verdict) {
  switch (verdict.outcome) {
    case Outcome::kApplied:
      if (verdict.restart == Restart::kStarted) return kExitRestartStarted;
      if (verdict.restart == Restart::kPending) return kExitRestartPending;
      return kExitSuccess;
    case Outcome::kNotNeeded: return kExitSuccess;
    case Outcome::kBusy: return kExitBusy;
    case Outcome::kFailed: break;
  }
  return kExitFailure;
}

Verdict JudgeRun(const RunTraces& traces) {
  if (!traces.log) return Failed("the run's log could not be read");
  if (!traces.logWrittenByThisRun) return Failed("the log found is not this run's");
  const std::vector<std::string> lines = WholeLines(*traces.log);
  if (lines.empty()) return Failed("the run's log is empty");
  if (lines.front() != kMainStarted || std::count(lines.begin(), lines.end(), kMainStarted) != 1) {
    return Failed("the log is not the log of one run");
  }

  // The entry's one verdict line, if the run ended by a step.
  auto main = std::find_if(lines.begin(), lines.end(),
                           [](const std::string& l) { return StartsWith(l, kMainSource); });
  std::string label, status;
  if (main != lines.end()) {
    const std::string rest = main->substr(kMainSource.size());
    const std::string separator = ToUtf8(c::kLogSeparator);
    const std::size_t split = rest.rfind(separator);
    label = rest.substr(0, split);
    status = split == std::string::npos ? std::string() : rest.substr(split + separator.size());
  }

  if (traces.managerExitCode == kManagerException) {
    return Failed("QZVRN.exe ended on an exception", label.empty() ? "Exception" : StepName(label));
  }
  if (traces.managerExitCode != 0) {
    return Failed("QZVRN.exe ended abnormally", label.empty() ? "" : StepName(label));
  }
  if (!Has(lines, kMainEnded)) return Failed("the run's log is cut off");

  Verdict v;
  if (main != lines.end()) {
    const bool notApplicable = status == kFailedStatus &&
                               std::any_of(std::begin(kNotApplicable), std::end(kNotApplicable),
                                           [&](const std::string& step) { return label == step; });
    if (notApplicable || (label == kUpdateNotRequired && status == kRuleReturnedFalse)) {
      v.outcome = Outcome::kNotNeeded;
      v.detail = "not needed on this machine (" + StepName(label) + ")";
      return v;
    }
    if (!(label == kUpdateCompleted && status == kSuccess)) {
      Verdict failed = Failed("the step " + StepName(label) + " failed", StepName(label));
      // What an earlier program queued still needs the restart.
      failed.restart = RestartOf(lines, traces.returnCode);
      return failed;
    }
  } else if (!Has(lines, kUpdateEnded)) {
    return Failed("the log ends without the update's end");
  }
  v.outcome = Outcome::kApplied;
  v.restart = RestartOf(lines, traces.returnCode);
  v.detail = v.restart == Restart::kStarted   ? "the update ran to its end; the restart was started"
             : v.restart == Restart::kPending ? "the update ran to its end; a restart is pending"
                                              : "the update ran to its end";
  return v;
}

}  // namespace qz::deploy
