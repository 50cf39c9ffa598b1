// The run from launch token to exit code: every row of the entry's
// failure table, against a fake machine. Steps whose real versions cannot
// fail on a sound machine are replaced through ManagerSteps.
#include <gtest/gtest.h>

#include <stdexcept>

#include "manager/entry.h"
#include "platform/fake/fake_platform.h"

namespace qz {
namespace {

using fake::FakeMachine;

// A step script: which step answers what, and what each call saw.
struct Script {
  bool supportedOs = true, conditions = true, configuration = true, rules = true, checkOs = true,
       installPath = true, sources = true, update = true;
  std::vector<int> ruleResults;  // CallJScript answers, in call order
  int rebootFlagAfterUpdate = 0;
  int restartQueuedByUpdate = 0;
  std::function<void()> throwIn;  // thrown from ReadConfiguration
  std::vector<std::string> calls;
  std::vector<std::string> cleanups;  // folder and marker of each Cleanup
  bool comOpenAtCleanup = false;
  std::size_t logLinesAtCleanup = 0;
};

class ScriptedSteps : public ManagerSteps {
 public:
  ScriptedSteps(CVRNManager& m, Script& s) : ManagerSteps(m), s_(s) {}
  bool IsSupportedOS() override { return Note("IsSupportedOS", s_.supportedOs); }
  bool ReadConditions() override { return Note("ReadConditions", s_.conditions); }
  bool ReadConfiguration() override {
    if (s_.throwIn) s_.throwIn();
    return Note("ReadConfiguration", s_.configuration);
  }
  bool ReadJSFromXml() override { return Note("ReadJSFromXml", s_.rules); }
  bool CheckOS() override { return Note("CheckOS", s_.checkOs); }
  bool LocateAndVerifyInstallPath() override { return Note("Locate", s_.installPath); }
  bool VerifySourceFilesPath() override { return Note("Verify", s_.sources); }
  bool DoUpdate() override {
    m_.m_rebootFlag = s_.rebootFlagAfterUpdate;
    m_.m_restartQueued = s_.restartQueuedByUpdate;
    return Note("DoUpdate", s_.update);
  }
  int CallJScript(const std::wstring& script) override {
    s_.calls.push_back("CallJScript " + fake::Narrow(script));
    if (s_.ruleResults.empty()) return 1;
    const int r = s_.ruleResults.front();
    s_.ruleResults.erase(s_.ruleResults.begin());
    return r;
  }
  int SystemShutdown() override {
    s_.calls.push_back("SystemShutdown");
    return 0;
  }
  int Cleanup(const std::wstring& folder, int topLevel) override {
    s_.cleanups.push_back(fake::Narrow(folder) + " " + std::to_string(topLevel));
    s_.comOpenAtCleanup = com_ && com_->uninitialized == 0;
    s_.logLinesAtCleanup = log_ ? log_() : 0;
    return 1;
  }
  fake::FakeCom* com_ = nullptr;
  std::function<std::size_t()> log_;

 private:
  bool Note(const char* step, bool result) {
    s_.calls.push_back(step);
    return result;
  }
  Script& s_;
};

// A fake machine with the three messages and a step script.
struct EntryRig {
  EntryRig() {
    for (unsigned id : {1u, 3u, 5u}) {
      m.resources.SetString(1024, id, L"message " + std::to_wstring(id));
    }
  }
  int RunWith(const std::string& token) {
    return RunPatchManager(m.os, token, [this](CVRNManager& manager) {
      auto steps = std::make_unique<ScriptedSteps>(manager, s);
      steps->com_ = &m.com;
      steps->log_ = [this] { return m.LogLines().size(); };
      return steps;
    });
  }
  // The entries under "QZVRN:Main", the ones this part of the run writes.
  std::vector<std::string> MainEntries() const {
    std::vector<std::string> out;
    for (const auto& line : m.LogLines()) {
      if (line.rfind("QZVRN:Main  ", 0) == 0) out.push_back(line);
    }
    return out;
  }
  std::vector<std::wstring> Boxes() const {
    std::vector<std::wstring> out;
    for (const auto& b : m.ui.boxes) out.push_back(b.text);
    return out;
  }
  bool HasLine(const std::string& wanted) const {
    for (const auto& line : m.LogLines()) {
      if (line == wanted) return true;
    }
    return false;
  }

  FakeMachine m;
  Script s;
};

class EntryTest : public ::testing::Test, public EntryRig {};

using BoxList = std::vector<std::wstring>;
using Lines = std::vector<std::string>;

TEST_F(EntryTest, UnrecognisedTokensEndTheRunWithMessage3) {
  for (const std::string& token :
       std::vector<std::string>{"qzsu", "QZSU ", "QZSU x", "", " QZSU", "QZWEB ", "qzweb", "QZ",
                                std::string(300, 'Q'), "QZSU" + std::string(300, ' ')}) {
    FakeMachine fresh;
    fresh.resources.SetString(1024, 3, L"Update failed.");
    EXPECT_EQ(RunPatchManager(fresh.os, token), 0) << token;
    const auto lines = fresh.LogLines();
    ASSERT_GE(lines.size(), 3u) << token;
    EXPECT_EQ(lines[0], "QZVRN  Main  Started");
    EXPECT_EQ(lines[1], "QZVRN:Main  Update not required:  Not QZSU/QZWEB");
    EXPECT_EQ(lines[lines.size() - 2], "QZVRN  Main  Ended");
    EXPECT_EQ(lines.back(), "CVRNManager  ~CVRNManager  Started");
    ASSERT_EQ(fresh.ui.boxes.size(), 1u) << token;
    EXPECT_EQ(fresh.ui.boxes[0].text, L"Update failed.");
    EXPECT_EQ(fresh.ui.boxes[0].caption, L"QZ");
    EXPECT_EQ(fresh.ui.boxes[0].style, 0x40u);
    EXPECT_EQ(fresh.ui.boxes[0].owner, fake::FakeUi::kDesktop);
    EXPECT_EQ(fresh.com.initialized, 1);
    EXPECT_EQ(fresh.com.uninitialized, 1);
  }
}

TEST_F(EntryTest, EachTokenSetsItsLaunchMode) {
  const std::vector<std::string> common = {"IsSupportedOS", "ReadConditions", "ReadConfiguration",
                                           "ReadJSFromXml", "CheckOS",        "Locate",
                                           "Verify"};
  for (const char* token : {"QZSU", "QZU"}) {
    Script fresh;
    s = fresh;
    FakeMachine machine;
    int seenMode = -1;
    RunPatchManager(machine.os, token, [&](CVRNManager& manager) {
      struct Probe : ScriptedSteps {
        Probe(CVRNManager& mm, Script& ss, int& seen) : ScriptedSteps(mm, ss), seen_(seen) {}
        bool IsSupportedOS() override {
          seen_ = m_.m_launchMode;
          return ScriptedSteps::IsSupportedOS();
        }
        int& seen_;
      };
      return std::make_unique<Probe>(manager, s, seenMode);
    });
    EXPECT_EQ(seenMode, kUpdateToolMode) << token;
    auto expected = common;
    expected.push_back("DoUpdate");  // no main rule in update-tool mode
    EXPECT_EQ(s.calls, expected) << token;
  }
  s = Script{};
  s.ruleResults = {-1};
  RunWith("QZWEB");
  auto expected = common;
  expected.push_back("CallJScript TestCode_Main.js");
  expected.push_back("DoUpdate");
  EXPECT_EQ(s.calls, expected);
  EXPECT_EQ(g_pManager, nullptr);
}

TEST_F(EntryTest, WebSiteTokenSetsWebSiteMode) {
  int seenMode = -1;
  RunPatchManager(m.os, "QZWEB", [&](CVRNManager& manager) {
    struct Probe : ScriptedSteps {
      Probe(CVRNManager& mm, Script& ss, int& seen) : ScriptedSteps(mm, ss), seen_(seen) {}
      bool IsSupportedOS() override {
        seen_ = m_.m_launchMode;
        return ScriptedSteps::IsSupportedOS();
      }
      int& seen_;
    };
    return std::make_unique<Probe>(manager, s, seenMode);
  });
  EXPECT_EQ(seenMode, kWebSiteMode);
}

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

// One run per folder: a start in a folder that a live run holds, or that
// cannot tell, ends before it opens the log or touches anything.
TEST(EntrySetup, ASecondStartInAHeldFolderEndsAtOnce) {
  FakeMachine first;
  EXPECT_EQ(RunPatchManager(first.os, "QZSU"), -1);  // no configuration
  ASSERT_EQ(first.sync.created.size(), 1u);
  const std::wstring lock = first.sync.created[0];
  EXPECT_EQ(lock.rfind(L"Global\\QZVRN.", 0), 0u);
  EXPECT_EQ(first.sync.OpenHandles(), 0u);

  for (bool cannotTell : {false, true}) {
    FakeMachine second;
    second.system.currentDirectory = L"c:\\PATCH\\";  // the same folder
    second.files.AddFile(L"C:\\patch\\QZVRN.config", "<x/>");
    second.sync.heldElsewhere.insert(lock);
    second.sync.fails = cannotTell;
    const auto before = second.files.entries.size();
    EXPECT_EQ(RunPatchManager(second.os, "QZSU"), -1);
    EXPECT_FALSE(second.files.Exists(L"C:\\Temp\\QZZqzvrn.log"));
    EXPECT_EQ(second.files.entries.size(), before);
    EXPECT_EQ(second.com.initialized, 0);
  }
}

TEST(EntrySetup, ManagerThatCannotBeBuiltEndsWithMinusOneAndNoLog) {
  FakeMachine m;
  m.system.currentDirectory.reset();
  EXPECT_EQ(RunPatchManager(m.os, "QZSU"), -1);
  EXPECT_TRUE(m.LogLines().empty());
  EXPECT_TRUE(m.ui.boxes.empty());
  EXPECT_EQ(g_pManager, nullptr);
}

}  // namespace
}  // namespace qz
