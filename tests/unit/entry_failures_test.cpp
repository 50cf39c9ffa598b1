// The run's failures, against a fake machine: each failed step's entry
// and message, COM that cannot start, error values and other exceptions,
// and the cleanup that every end does.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/unit/entry_rig.h"

namespace qz {
namespace {

using fake::FakeMachine;
using rig::BoxList;
using rig::EntryRig;
using rig::EntryTest;
using rig::Lines;
using rig::Script;
using rig::ScriptedSteps;

// Every end, normal or not, cleans up the start folder read before the
// manager existed, then closes COM, then (normal end only) logs Main's end.
TEST_F(EntryTest, EveryEndCleansUpTheStartFolderBeforeClosingCom) {
  struct Case {
    const char* name;
    std::function<void(EntryRig&)> arrange;
    int exitCode;
    bool mainEnded;
  };
  const std::vector<Case> cases = {
      {"normal", [](EntryRig&) {}, 0, true},
      {"bad token", [](EntryRig&) {}, 0, true},
      {"step false", [](EntryRig& t) { t.s.checkOs = false; }, 0, true},
      {"com fails", [](EntryRig& t) { t.m.com.initializeResult = -1; }, -1, false},
      {"error value", [](EntryRig& t) { t.s.throwIn = [] { throw errGeneralFailure; }; }, -1,
       false},
      {"other exception", [](EntryRig& t) { t.s.throwIn = [] { throw 1; }; }, -1, false},
  };
  for (const auto& c : cases) {
    EntryRig t;
    t.m.system.currentDirectory = L"C:\\start here";
    c.arrange(t);
    const std::string token = std::string(c.name) == "bad token" ? "nope" : "QZSU";
    EXPECT_EQ(t.RunWith(token), c.exitCode) << c.name;
    EXPECT_EQ(t.s.cleanups, std::vector<std::string>{"C:\\start here 1"}) << c.name;
    EXPECT_TRUE(t.s.comOpenAtCleanup) << c.name;
    EXPECT_EQ(t.m.com.uninitialized, 1) << c.name;
    const auto lines = t.m.LogLines();
    // After Cleanup only Main's Ended entry (normal end) and the
    // destructor's entry follow.
    EXPECT_EQ(lines.size() - t.s.logLinesAtCleanup, c.mainEnded ? 2u : 1u) << c.name;
    EXPECT_EQ(t.HasLine("QZVRN  Main  Ended"), c.mainEnded) << c.name;
  }
}

TEST_F(EntryTest, FailedStepsEachWriteTheirEntryAndMessage) {
  struct Case {
    std::function<void(Script&)> arrange;
    const char* entry;
    const wchar_t* message;  // nullptr: none
    std::size_t stepsRun;
  };
  const std::vector<Case> cases = {
      {[](Script& x) { x.supportedOs = false; }, "OS Not Supported:", L"message 1", 1},
      {[](Script& x) { x.conditions = false; }, "Read Conditions:", nullptr, 2},
      {[](Script& x) { x.configuration = false; }, "Read Configuration:", nullptr, 3},
      {[](Script& x) { x.rules = false; }, "Read Java Script:", nullptr, 4},
      {[](Script& x) { x.checkOs = false; }, "CheckOS:", L"message 1", 5},
      {[](Script& x) { x.installPath = false; }, "LocateAndVerifyInstallPath:", L"message 1", 6},
      {[](Script& x) { x.sources = false; }, "VerifySourceFilesPath:", L"message 3", 7},
  };
  for (const auto& c : cases) {
    for (const char* token : {"QZWEB", "QZSU"}) {
      FakeMachine fresh;
      for (unsigned id : {1u, 3u})
        fresh.resources.SetString(1024, id, L"message " + std::to_wstring(id));
      Script script;
      c.arrange(script);
      const int code = RunPatchManager(fresh.os, token, [&](CVRNManager& manager) {
        return std::make_unique<ScriptedSteps>(manager, script);
      });
      EXPECT_EQ(code, 0) << c.entry;
      EXPECT_EQ(script.calls.size(), c.stepsRun) << c.entry;
      Lines main;
      for (const auto& line : fresh.LogLines()) {
        if (line.rfind("QZVRN:Main  ", 0) == 0) main.push_back(line);
      }
      EXPECT_EQ(main, Lines{std::string("QZVRN:Main  ") + c.entry + "  Failed"});
      // Update-tool mode keeps every message of the entry to itself.
      const bool shown = c.message && std::string(token) == "QZWEB";
      ASSERT_EQ(fresh.ui.boxes.size(), shown ? 1u : 0u) << c.entry << token;
      if (shown) {
        EXPECT_EQ(fresh.ui.boxes[0].text, c.message);
      }
      // A message is loaded even where it is not shown.
      if (c.message) {
        bool loaded = false;
        for (const auto& line : fresh.LogLines())
          loaded |= line == "CVRNManager  LoadMessage  Started";
        EXPECT_TRUE(loaded) << c.entry;
      }
      EXPECT_EQ(fresh.LogLines().back(), "CVRNManager  ~CVRNManager  Started");
    }
  }
}

TEST_F(EntryTest, CoInitializeFailureIsLoggedAndEndsWithMinusOne) {
  m.com.initializeResult = static_cast<port::HRESULT>(0x80004005u);
  EXPECT_EQ(RunWith("QZSU"), -1);
  EXPECT_TRUE(s.calls.empty());
  EXPECT_EQ(m.LogLines(), (Lines{"QZVRN  Main  Started", "QZVRN:Main  CoInitialize:  Failed",
                                 "CVRNManager  ~CVRNManager  Started"}));
  EXPECT_TRUE(m.ui.boxes.empty());
  EXPECT_EQ(m.com.uninitialized, 1);  // closed whether or not it opened
}

TEST_F(EntryTest, ErrorValueFromAStepEndsWithMinusOne) {
  s.throwIn = [] { throw errRuleFileNotFound; };
  for (unsigned id : {3u}) m.resources.SetString(1024, id, L"message 3");
  EXPECT_EQ(RunWith("QZSU"), -1);
  const auto lines = m.LogLines();
  EXPECT_TRUE(HasLine("QZVRN:Main  Exception:  failed"));
  EXPECT_TRUE(HasLine("CVRNManager:ParseVRNError  Rule file:   Not found"));
  EXPECT_FALSE(HasLine("QZVRN  Main  Ended"));
  EXPECT_EQ(lines.back(), "CVRNManager  ~CVRNManager  Started");
  // ParseVRNError's box is not silenced by update-tool mode.
  EXPECT_EQ(Boxes(), BoxList{L"message 3"});
  EXPECT_EQ(m.com.uninitialized, 1);
}

TEST_F(EntryTest, ErrorValueInSilentModeShowsNothing) {
  s.throwIn = [] {
    g_pManager->m_silentMode = 1;
    throw errGeneralFailure;
  };
  EXPECT_EQ(RunWith("QZWEB"), -1);
  EXPECT_TRUE(HasLine("CVRNManager:ParseVRNError  General   Failure"));
  EXPECT_TRUE(m.ui.boxes.empty());
}

TEST_F(EntryTest, OtherExceptionEndsWithMinusOneAndMessage3) {
  s.throwIn = [] { throw std::runtime_error("boom"); };
  EXPECT_EQ(RunWith("QZWEB"), -1);
  EXPECT_EQ(MainEntries(), Lines{"QZVRN:Main  Unknown Exception:  failed"});
  EXPECT_FALSE(HasLine("QZVRN  Main  Ended"));
  EXPECT_EQ(Boxes(), BoxList{L"message 3"});
  EXPECT_EQ(m.LogLines().back(), "CVRNManager  ~CVRNManager  Started");

  // The same in update-tool mode: logged, but the entry's box stays quiet.
  FakeMachine quiet;
  Script script;
  script.throwIn = [] { throw 42; };
  EXPECT_EQ(RunPatchManager(quiet.os, "QZSU",
                            [&](CVRNManager& manager) {
                              return std::make_unique<ScriptedSteps>(manager, script);
                            }),
            -1);
  EXPECT_TRUE(quiet.ui.boxes.empty());
  // Loaded all the same, as every message is.
  bool loaded = false;
  for (const auto& line : quiet.LogLines()) loaded |= line == "CVRNManager  LoadMessage  Ended";
  EXPECT_TRUE(loaded);
}

}  // namespace
}  // namespace qz
