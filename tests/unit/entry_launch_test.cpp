// The start of a run: which launch token sets which mode and which ends
// the run at once, and a folder that another run holds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/unit/entry_rig.h"

namespace qz {
namespace {

using fake::FakeMachine;
using rig::EntryTest;
using rig::Script;
using rig::ScriptedSteps;

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
