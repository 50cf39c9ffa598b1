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
  Lines main;     // the entry's own entries
  Lines rules;    // CallJScript's and CheckControl's entries
  Boxes boxes;
  std::size_t hostRuns;
  std::vector<port::DWORD> sleeps;
};

// One web-site run whose script host answers `hostCodes` in turn; with
// `hostMissing` the host cannot be started at all.
Outcome RunWeb(std::deque<port::DWORD> hostCodes, Switches sw = {}, bool hostMissing = false) {
  FakeMachine m;
  for (unsigned id : {1u, 3u, 5u}) m.resources.SetString(1024, id, L"message " + std::to_wstring(id));
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

TEST(WebSiteMode, MainRuleTrueRunsTheUpdate) {
  const auto r = RunWeb({kTrue});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.updates, 1);
  EXPECT_EQ(r.main, Lines{kSuccess});
  EXPECT_EQ(r.rules, kOneRule);
  EXPECT_EQ(r.boxes, Boxes{L"message 5"});
  EXPECT_TRUE(r.sleeps.empty());  // the host was waited for, not slept for
}

TEST(WebSiteMode, MainRuleFalseEndsWithMessage1) {
  const auto r = RunWeb({0u});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.updates, 0);
  EXPECT_EQ(r.main, Lines{"QZVRN:Main  Update not required:  Java script returned false"});
  EXPECT_EQ(r.boxes, Boxes{L"message 1"});
}

TEST(WebSiteMode, MainRuleWithoutAnAnswerIsAJavaScriptError) {
  // Another exit code, the ambiguous 259, and a host that cannot start.
  for (const int code : {3, 259, -1000}) {
    testing::internal::CaptureStdout();
    const auto r = code == -1000 ? RunWeb({}, {}, true) : RunWeb({static_cast<port::DWORD>(code)});
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.updates, 0);
    EXPECT_EQ(r.main, Lines{"QZVRN:Main  JavaScript Error:  Failed"}) << code;
    EXPECT_EQ(r.boxes, Boxes{L"message 3"});
  }
}

TEST(WebSiteMode, FinalRuleDecidesTheOutcome) {
  Switches sw;
  sw.runFinal = 1;
  auto r = RunWeb({kTrue, 0u}, sw);  // no longer needed: the update took
  EXPECT_EQ(r.hostRuns, 2u);
  EXPECT_EQ(r.main, Lines{kSuccess});
  EXPECT_EQ(r.boxes, Boxes{L"message 5"});
  Lines twice = kOneRule;
  twice.insert(twice.end(), kOneRule.begin(), kOneRule.end());
  EXPECT_EQ(r.rules, twice);

  r = RunWeb({kTrue, kTrue}, sw);  // still needed: failed, quietly by default
  EXPECT_EQ(r.main, Lines{kFinalFailed});
  EXPECT_TRUE(r.boxes.empty());

  sw.finalFailedMsg = 1;
  r = RunWeb({kTrue, 3u}, sw);  // no answer counts as failed
  EXPECT_EQ(r.main, Lines{kFinalFailed});
  EXPECT_EQ(r.boxes, Boxes{L"message 3"});
}

TEST(WebSiteMode, SilentRunShowsNoBox) {
  Switches sw;
  sw.silent = 1;
  sw.runFinal = 1;
  for (auto codes : {std::deque<port::DWORD>{kTrue, 0u}, std::deque<port::DWORD>{0u},
                     std::deque<port::DWORD>{4u}}) {
    const auto r = RunWeb(codes, sw);
    EXPECT_EQ(r.main.size(), 1u);
    EXPECT_TRUE(r.boxes.empty());
  }
}

}  // namespace
}  // namespace qz
