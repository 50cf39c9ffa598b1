// How a run that got through its checks ends, in both launch modes: the
// update's outcome, the main rule, the restart and the final rule.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "tests/unit/entry_rig.h"

namespace qz {
namespace {

using fake::FakeMachine;
using rig::BoxList;
using rig::EntryTest;
using rig::Lines;
using rig::Script;
using rig::ScriptedSteps;

TEST_F(EntryTest, UpdateToolModeOutcomes) {
  s.update = false;
  EXPECT_EQ(RunWith("QZSU"), 0);
  EXPECT_EQ(MainEntries(), Lines{"QZVRN:Main  DoUpdate:  Failed"});
  EXPECT_TRUE(m.ui.boxes.empty());

  FakeMachine again;
  Script reboot;
  reboot.rebootFlagAfterUpdate = 1;
  RunPatchManager(again.os, "QZU", [&](CVRNManager& manager) {
    return std::make_unique<ScriptedSteps>(manager, reboot);
  });
  EXPECT_EQ(reboot.calls.back(), "SystemShutdown");

  FakeMachine quiet;
  Script noReboot;
  RunPatchManager(quiet.os, "QZSU", [&](CVRNManager& manager) {
    return std::make_unique<ScriptedSteps>(manager, noReboot);
  });
  EXPECT_EQ(noReboot.calls.back(), "DoUpdate");
  EXPECT_TRUE(quiet.ui.boxes.empty());
}

// A file queued before the update failed still needs the restart: the
// caller hears of it through return code 2, in both modes.
TEST_F(EntryTest, AFailedUpdateThatQueuedAFileLeavesReturnCode2) {
  s.update = false;
  s.restartQueuedByUpdate = 1;
  s.ruleResults = {-1};
  EXPECT_EQ(RunWith("QZWEB"), 0);
  EXPECT_EQ(Boxes(), BoxList{L"message 3"});
  EXPECT_EQ(m.files.Contents(L"C:\\patch\\QZVRN_Returncode.txt"), "2");
  EXPECT_TRUE(HasLine(
      "QZVRN:Main - Restart pending:  A file is queued for the next restart  Return code 2"));
  EXPECT_EQ(MainEntries(), Lines{"QZVRN:Main  DoUpdate:  Failed"});
}

TEST_F(EntryTest, WebSiteModeMainRule) {
  s.ruleResults = {0};
  EXPECT_EQ(RunWith("QZWEB"), 0);
  EXPECT_EQ(MainEntries(), Lines{"QZVRN:Main  Update not required:  Java script returned false"});
  EXPECT_EQ(Boxes(), BoxList{L"message 1"});
  EXPECT_EQ(s.calls.back(), "CallJScript TestCode_Main.js");

  for (int other : {1, 2, 259, -2}) {
    FakeMachine fresh;
    fresh.resources.SetString(1024, 3, L"message 3");
    Script script;
    script.ruleResults = {other};
    RunPatchManager(fresh.os, "QZWEB", [&](CVRNManager& manager) {
      return std::make_unique<ScriptedSteps>(manager, script);
    });
    EXPECT_TRUE([&] {
      for (const auto& l : fresh.LogLines())
        if (l == "QZVRN:Main  JavaScript Error:  Failed") return true;
      return false;
    }()) << other;
    ASSERT_EQ(fresh.ui.boxes.size(), 1u);
    EXPECT_EQ(fresh.ui.boxes[0].text, L"message 3");
    EXPECT_EQ(script.calls.back(), "CallJScript TestCode_Main.js");
  }
}

TEST_F(EntryTest, WebSiteModeUpdateOutcomes) {
  s.ruleResults = {-1};
  s.update = false;
  RunWith("QZWEB");
  EXPECT_EQ(MainEntries(), Lines{"QZVRN:Main  DoUpdate:  Failed"});
  EXPECT_EQ(Boxes(), BoxList{L"message 3"});
}

TEST_F(EntryTest, WebSiteModeSuccessMessages) {
  s.ruleResults = {-1};
  RunWith("QZWEB");
  EXPECT_EQ(MainEntries(), Lines{"QZVRN:Main  DoUpdate:Update completed successfully.  Success"});
  EXPECT_EQ(Boxes(), BoxList{L"message 5"});
}

TEST_F(EntryTest, WebSiteModeRestartSkipsSuccessAndFinalRule) {
  s.ruleResults = {-1, 0};
  s.rebootFlagAfterUpdate = 3;
  RunWith("QZWEB");
  EXPECT_TRUE(MainEntries().empty());
  EXPECT_TRUE(m.ui.boxes.empty());
  EXPECT_EQ(s.calls.back(), "SystemShutdown");
  EXPECT_EQ(s.ruleResults.size(), 1u);  // the final rule did not run
}

// Runs a successful web-site update with the given switches and final
// rule answer; returns the entries and boxes.
struct FinalOutcome {
  Lines main;
  BoxList boxes;
  std::size_t ruleRuns;
};
FinalOutcome RunFinal(int showFinal, int runFinal, int finalSuccessMsg, int finalFailedMsg,
                      int finalRule) {
  FakeMachine m;
  for (unsigned id : {3u, 5u}) m.resources.SetString(1024, id, L"message " + std::to_wstring(id));
  Script s;
  s.ruleResults = {-1, finalRule};
  RunPatchManager(m.os, "QZWEB", [&](CVRNManager& manager) {
    manager.m_showFinalSuccessMsg = showFinal;
    manager.m_runFinalRule = runFinal;
    manager.m_ruleFinalSuccessMsg = finalSuccessMsg;
    manager.m_ruleFinalFailedMsg = finalFailedMsg;
    return std::make_unique<ScriptedSteps>(manager, s);
  });
  FinalOutcome out;
  for (const auto& line : m.LogLines()) {
    if (line.rfind("QZVRN:Main  ", 0) == 0) out.main.push_back(line);
  }
  for (const auto& b : m.ui.boxes) out.boxes.push_back(b.text);
  out.ruleRuns = 2 - s.ruleResults.size();
  return out;
}

TEST(EntryFinalRule, SwitchesChooseEntriesAndMessages) {
  const std::string ok = "QZVRN:Main  DoUpdate:Update completed successfully.  Success";
  const std::string bad =
      "QZVRN:Main  DoUpdate:Update failed while running the Final Rule again.  Failed";
  auto r = RunFinal(0, 0, 1, 0, 0);
  EXPECT_EQ(r.main, Lines{ok});
  EXPECT_TRUE(r.boxes.empty());  // SHOWFINAL_SUCCESSMSG off
  EXPECT_EQ(r.ruleRuns, 1u);

  r = RunFinal(1, 1, 1, 0, 0);  // final rule false: the update took
  EXPECT_EQ(r.main, Lines{ok});
  EXPECT_EQ(r.boxes, BoxList{L"message 5"});
  EXPECT_EQ(r.ruleRuns, 2u);

  r = RunFinal(1, 1, 0, 0, 0);
  EXPECT_TRUE(r.boxes.empty());

  r = RunFinal(1, 1, 1, 0, -1);  // still needed: failed, not shown by default
  EXPECT_EQ(r.main, Lines{bad});
  EXPECT_TRUE(r.boxes.empty());

  r = RunFinal(1, 1, 1, 1, 7);  // no answer counts as failed too
  EXPECT_EQ(r.main, Lines{bad});
  EXPECT_EQ(r.boxes, BoxList{L"message 3"});
}

}  // namespace
}  // namespace qz
