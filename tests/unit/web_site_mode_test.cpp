// Web-site mode from launch token to exit code with the real rule runner:
// the script host's exit code (scripted in the fake) decides the main rule
// and the final rule, and with them the entries and the box the user sees.
// The steps around the rules are stubbed, so only the rule path is real.
#include <gtest/gtest.h>

#include <deque>

#include "manager/entry.h"
#include "platform/fake/fake_platform.h"

namespace qz {
namespace {

using fake::FakeMachine;
using Lines = std::vector<std::string>;
using Boxes = std::vector<std::wstring>;

constexpr wchar_t kHost[] = L"C:\\WINDOWS\\system32\\cscript.exe";
constexpr port::DWORD kTrue = 0xFFFFFFFFu;

struct Switches {
  int silent = 0, showFinal = 1, runFinal = 0, finalSuccessMsg = 1, finalFailedMsg = 0;
};

class RuleOnlySteps : public ManagerSteps {
 public:
  RuleOnlySteps(CVRNManager& m, int& updates) : ManagerSteps(m), updates_(updates) {}
  bool IsSupportedOS() override { return true; }
  bool ReadConditions() override { return true; }
  bool ReadConfiguration() override { return true; }
  bool ReadJSFromXml() override { return true; }
  bool CheckOS() override { return true; }
  bool LocateAndVerifyInstallPath() override { return true; }
  bool VerifySourceFilesPath() override { return true; }
  bool DoUpdate() override {
    ++updates_;
    return true;
  }

 private:
  int& updates_;
};

struct Outcome {
  int exitCode;
  int updates = 0;
  Lines main;   // the entry's own entries
  Lines rules;  // CallJScript's and CheckControl's entries
  Boxes boxes;
  std::size_t hostRuns;
  std::vector<port::DWORD> sleeps;
};

// One web-site run whose script host answers `hostCodes` in turn; with
// `hostMissing` the host cannot be started at all.
Outcome RunWeb(std::deque<port::DWORD> hostCodes, Switches sw = {}, bool hostMissing = false) {
  FakeMachine m;
  for (unsigned id : {1u, 3u, 5u})
    m.resources.SetString(1024, id, L"message " + std::to_wstring(id));
  m.com.Register(L"QZKelvaDiags.QZRegUtil");
  auto& host = m.processes.programs[fake::Fold(kHost)];
  host.stillActiveQueries = 1;  // each host runs a little while
  // Runs before the started process takes its program's exit code.
  host.onStart = [&] {
    m.processes.programs[fake::Fold(kHost)].exitCode = hostCodes.empty() ? 1 : hostCodes.front();
    if (!hostCodes.empty()) hostCodes.pop_front();
  };
  if (hostMissing) m.processes.programs.clear();
  Outcome out{};
  out.exitCode = RunPatchManager(m.os, "QZWEB", [&](CVRNManager& manager) {
    manager.m_silentMode = sw.silent;
    manager.m_showFinalSuccessMsg = sw.showFinal;
    manager.m_runFinalRule = sw.runFinal;
    manager.m_ruleFinalSuccessMsg = sw.finalSuccessMsg;
    manager.m_ruleFinalFailedMsg = sw.finalFailedMsg;
    return std::make_unique<RuleOnlySteps>(manager, out.updates);
  });
  for (const auto& line : m.LogLines()) {
    if (line.rfind("QZVRN:Main  ", 0) == 0) out.main.push_back(line);
    if (line.find("CallJScript") != std::string::npos ||
        line.find("CheckControl") != std::string::npos) {
      out.rules.push_back(line);
    }
  }
  for (const auto& b : m.ui.boxes) out.boxes.push_back(b.text);
  out.hostRuns = m.processes.launches.size();
  out.sleeps = m.system.sleeps;
  EXPECT_EQ(m.processes.OpenHandles(), 0u);
  return out;
}

const std::string kSuccess = "QZVRN:Main  DoUpdate:Update completed successfully.  Success";
const std::string kFinalFailed =
    "QZVRN:Main  DoUpdate:Update failed while running the Final Rule again.  Failed";
const Lines kOneRule = {"CVRNManager  CallJScript  Started", "CVRNManager  CheckControl  Started",
                        "CVRNManager  CallJScript  Ended"};

// What the host's answers make of a run: the entry, the box, the update.
TEST(WebSiteMode, HostAnswersDecideEntriesAndBoxes) {
  const std::string notNeeded = "QZVRN:Main  Update not required:  Java script returned false";
  const std::string noAnswer = "QZVRN:Main  JavaScript Error:  Failed";
  Switches final;
  final.runFinal = 1;
  Switches finalLoud = final;
  finalLoud.finalFailedMsg = 1;
  Switches silent = final;
  silent.silent = 1;
  struct Case {
    const char* name;
    std::deque<port::DWORD> codes;
    Switches sw;
    bool hostMissing;
    std::string main;
    Boxes boxes;
    int updates;
  };
  const std::vector<Case> cases = {
      {"true", {kTrue}, {}, false, kSuccess, {L"message 5"}, 1},
      {"false", {0}, {}, false, notNeeded, {L"message 1"}, 0},
      {"other code", {3}, {}, false, noAnswer, {L"message 3"}, 0},
      {"a real 259", {259}, {}, false, noAnswer, {L"message 3"}, 0},
      {"host missing", {}, {}, true, noAnswer, {L"message 3"}, 0},
      {"final rule false", {kTrue, 0}, final, false, kSuccess, {L"message 5"}, 1},
      {"final rule true", {kTrue, kTrue}, final, false, kFinalFailed, {}, 1},
      {"final rule no answer", {kTrue, 3}, finalLoud, false, kFinalFailed, {L"message 3"}, 1},
      {"silent success", {kTrue, 0}, silent, false, kSuccess, {}, 1},
      {"silent false", {0}, silent, false, notNeeded, {}, 0},
      {"silent no answer", {4}, silent, false, noAnswer, {}, 0},
  };
  for (const auto& c : cases) {
    testing::internal::CaptureStdout();  // the host-missing line
    const auto r = RunWeb(c.codes, c.sw, c.hostMissing);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(r.exitCode, 0) << c.name;
    EXPECT_EQ(r.main, Lines{c.main}) << c.name;
    EXPECT_EQ(r.boxes, c.boxes) << c.name;
    EXPECT_EQ(r.updates, c.updates) << c.name;
    EXPECT_TRUE(r.sleeps.empty()) << c.name;  // waited for, not slept for
  }
}

TEST(WebSiteMode, EachRuleChecksTheControlFirst) {
  Switches sw;
  sw.runFinal = 1;
  const auto r = RunWeb({kTrue, 0u}, sw);
  EXPECT_EQ(r.hostRuns, 2u);
  Lines twice = kOneRule;
  twice.insert(twice.end(), kOneRule.begin(), kOneRule.end());
  EXPECT_EQ(r.rules, twice);
}

}  // namespace
}  // namespace qz
