// The manager's log as the deployment wrapper reads it: the whole entry on
// the fake machine, its steps steered to each outcome the wrapper tells
// apart, and that log and return-code file fed to the wrapper's verdict.
// A changed log text breaks here, not in a field deployment.
#include <gtest/gtest.h>

#include <functional>

#include "deploy/run_verdict.h"
#include "manager/entry.h"
#include "manager/errors.h"
#include "platform/fake/fake_platform.h"

namespace qz {
namespace {

using deploy::Outcome;
using deploy::Restart;

struct Steer {
  const char* step = "";  // the one step that fails
  int rebootFlag = 0;
  bool throwInConfiguration = false;
};

// The real entry, update, restart and cleanup; the steps that need a real
// patch and machine answer as steered.
class SteeredSteps : public ManagerSteps {
 public:
  SteeredSteps(CVRNManager& m, const Steer& s) : ManagerSteps(m), s_(s) {}
  bool IsSupportedOS() override { return Pass("IsSupportedOS"); }
  bool ReadConditions() override { return true; }
  bool ReadConfiguration() override {
    if (s_.throwInConfiguration) throw errGeneralFailure;
    m_.m_silentMode = 1;
    return true;
  }
  bool RecoverInterruptedRun() override { return true; }
  bool ReadJSFromXml() override { return true; }
  bool CheckOS() override { return Pass("CheckOS"); }
  bool LocateAndVerifyInstallPath() override { return Pass("Locate"); }
  bool VerifySourceFilesPath() override { return Pass("Verify"); }
  // The real update over an empty list: its own entries frame the run.
  bool DoUpdate() override {
    if (!Pass("DoUpdate")) return false;
    const bool done = ManagerSteps::DoUpdate();
    m_.m_rebootFlag = s_.rebootFlag;
    return done;
  }
  int CallJScript(const std::wstring&) override { return -1; }

 private:
  bool Pass(const char* step) const { return std::string(step) != s_.step; }
  const Steer& s_;
};

TEST(LogContract, TheWrapperReadsEveryOutcomeFromTheManagersOwnLog) {
  const struct {
    const char* name;
    Steer steer;
    int exitCode;
    Outcome outcome;
    Restart restart;
    const char* failedStep;
  } cases[] = {
      {"applied", {}, 0, Outcome::kApplied, Restart::kNone, ""},
      {"restart left pending", {"", 1}, 3010, Outcome::kApplied, Restart::kPending, ""},
      {"restart started", {"", 2}, 1641, Outcome::kApplied, Restart::kStarted, ""},
      {"OS not supported", {"IsSupportedOS"}, 0, Outcome::kNotNeeded, Restart::kNone, ""},
      {"OS not listed", {"CheckOS"}, 0, Outcome::kNotNeeded, Restart::kNone, ""},
      {"product not installed", {"Locate"}, 0, Outcome::kNotNeeded, Restart::kNone, ""},
      {"patch file missing",
       {"Verify"},
       1603,
       Outcome::kFailed,
       Restart::kNone,
       "VerifySourceFilesPath"},
      {"update failed", {"DoUpdate"}, 1603, Outcome::kFailed, Restart::kNone, "DoUpdate"},
      {"exception", {"", 0, true}, 1603, Outcome::kFailed, Restart::kNone, "Exception"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fake::FakeMachine m;
    for (unsigned id : {1u, 3u, 5u}) m.resources.SetString(1024, id, L"message");
    const int managerExit = RunPatchManager(m.os, "QZSU", [&](CVRNManager& manager) {
      return std::make_unique<SteeredSteps>(manager, c.steer);
    });
    deploy::RunTraces traces;
    traces.log = m.LogBytes();
    traces.logWrittenByThisRun = true;
    traces.returnCode = m.files.Contents(L"C:\\patch\\QZVRN_Returncode.txt");
    traces.managerExitCode = static_cast<std::uint32_t>(managerExit);
    const deploy::Verdict v = deploy::JudgeRun(traces);
    EXPECT_EQ(deploy::ExitCodeOf(v), c.exitCode) << v.detail << "\n" << *traces.log;
    EXPECT_EQ(v.outcome, c.outcome);
    EXPECT_EQ(v.restart, c.restart);
    EXPECT_EQ(v.failedStep, c.failedStep);
  }
}

}  // namespace
}  // namespace qz
