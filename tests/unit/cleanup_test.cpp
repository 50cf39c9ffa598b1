// Cleanup against a fake machine: what each mode removes and keeps, the
// read-only file, names that would reach outside the patch folder, and the
// folder a recursive cleanup refuses to empty.
#include <gtest/gtest.h>

#include <algorithm>

#include "manager/manager.h"
#include "platform/fake/fake_platform.h"

namespace qz {
namespace {

using fake::FakeMachine;
using Lines = std::vector<std::string>;

class CleanupTest : public ::testing::Test {
 protected:
  CleanupTest() {
    for (const wchar_t* name :
         {L"QZVRN.exe", L"QZVRN.config", L"QZVRN_Conditions.config", L"rules.xml", L"a.dll",
          L"TestCode_Main.js", L"TestCode_C1.js", L"old.tmp", L"qzkdiag.dll",
          L"QZVRN_Returncode.txt", L"qzvrn.LOG", L"notes.txt"}) {
      m.files.AddFile(std::wstring(L"C:\\patch\\") + name, "x");
    }
    m.files.AddFile(L"C:\\patch\\sub\\deep\\b.dll");
    m.files.AddFile(L"C:\\patch\\qzvrn1000\\a.dll", "backup");
    m.files.AddFile(L"C:\\outside.txt");
    manager.m_ruleFileName = L"rules.xml";
    manager.m_backupFolder = L"C:\\patch\\qzvrn1000";
    UpdateEntry e;
    e.fileName = L"a.dll";
    e.backedUp = 1;
    e.backup = {L"a.dll", L"C:\\Prod", L"a.dll", L"C:\\patch\\qzvrn1000"};
    manager.m_updateEntries = {e};
  }
  bool Has(const std::string& line) const {
    const Lines log = m.LogLines();
    return std::find(log.begin(), log.end(), line) != log.end();
  }
  std::vector<std::wstring> Left() const {
    auto names = m.files.Names(L"C:\\patch");
    std::sort(names.begin(), names.end());
    return names;
  }

  FakeMachine m;
  CVRNManager manager{m.os};
};

TEST_F(CleanupTest, ListedModeRemovesWhatTheRunKnowsOf) {
  m.files.Find(L"C:\\patch\\a.dll")->attributes |= 1;  // read-only
  EXPECT_EQ(manager.Cleanup(L"C:\\patch", 1), 1);
  EXPECT_EQ(Left(), (std::vector<std::wstring>{L"QZVRN_Returncode.txt", L"notes.txt", L"qzvrn.LOG",
                                               L"sub", L"tmp1000.tmp"}));
  EXPECT_TRUE(manager.m_updateEntries.empty());
  const Lines log = m.LogLines();
  const auto attribute =
      std::find(log.begin(), log.end(),
                "CVRNManager:Cleanup - Change readonly attribute:  C:\\patch\\a.dll  Succeeded");
  ASSERT_NE(attribute, log.end());
  EXPECT_EQ(attribute[1],
            "CVRNManager:Cleanup - Delete condition config file:  C:\\patch\\a.dll  Succeeded");
  EXPECT_TRUE(
      Has("CVRNManager:Cleanup - Delete backup folder file:  "
          "C:\\patch\\qzvrn1000\\a.dll  Succeeded"));
  EXPECT_TRUE(Has("CVRNManager:Cleanup - Remove backup folder:  C:\\patch\\qzvrn1000  Succeeded"));
  EXPECT_EQ(m.files.moves.back(), std::make_pair(std::wstring(L"C:\\patch\\QZVRN.EXE"),
                                                 std::wstring(L"C:\\patch\\tmp1000.tmp")));
  EXPECT_EQ(log.back(), "CVRNManager  Cleanup  Ended");
}

TEST_F(CleanupTest, NamesThatLeaveThePatchFolderAreLeftAlone) {
  manager.m_ruleFileName = L"..\\outside.txt";
  manager.m_updateEntries[0].fileName = L"C:\\outside.txt";
  EXPECT_EQ(manager.Cleanup(L"C:\\patch", 1), 1);
  EXPECT_TRUE(m.files.Exists(L"C:\\outside.txt"));
  EXPECT_TRUE(
      Has("CVRNManager:Cleanup  Not deleted, the name leaves the patch folder:  "
          "..\\outside.txt"));
  EXPECT_TRUE(
      Has("CVRNManager:Cleanup  Not deleted, the name leaves the patch folder:  "
          "C:\\outside.txt"));
}

// An entry without a name names the folder: its deletion is logged as
// failed, and the folder, read-only or not, is left as it was.
TEST_F(CleanupTest, AnEntryWithoutANameLogsItsFailedDeletion) {
  m.files.Find(L"C:\\patch")->attributes |= 1;
  UpdateEntry plugin;
  plugin.progId = L"QZ.Plugin";
  manager.m_updateEntries.push_back(plugin);
  EXPECT_EQ(manager.Cleanup(L"C:\\patch", 1), 1);
  EXPECT_TRUE(Has("CVRNManager:Cleanup - Delete condition config file:  C:\\patch\\  Failed"));
  EXPECT_EQ(m.files.Find(L"C:\\patch")->attributes & 1, 1u);
}

TEST_F(CleanupTest, RecursiveModeKeepsThreeNamesOnlyInTheProgramsFolder) {
  manager.m_cleanupRecursive = 1;
  m.files.AddFolder(L"C:\\patch\\archived");
  m.files.Find(L"C:\\patch\\archived")->attributes = 0x30;  // folder + archive: a file here
  // An interrupted run's backup folder is the next start's to undo.
  m.files.AddFile(L"C:\\patch\\qzvrn7\\QZVRN.journal");
  EXPECT_EQ(manager.Cleanup(L"C:\\patch", 1), 1);
  // The backup folder went with the enumeration; the program file was
  // kept by name and then moved; a kept name in other letter case goes.
  EXPECT_EQ(Left(), (std::vector<std::wstring>{L"QZVRN_Returncode.txt", L"archived", L"qzvrn7",
                                               L"tmp1000.tmp"}));
  EXPECT_TRUE(Has("CVRNManager:Cleanup Deletefile:  C:\\patch\\qzvrn.LOG  Succeeded"));
  EXPECT_TRUE(Has("CVRNManager:Cleanup Deletefile:  C:\\patch\\archived  Failed"));
  EXPECT_TRUE(Has("CVRNManager:Cleanup Deletefolder:  C:\\patch\\sub\\deep  Succeeded"));
  EXPECT_TRUE(Has("CVRNManager:Cleanup Deletefolder:  C:\\patch\\sub  Succeeded"));
  const Lines log = m.LogLines();
  EXPECT_EQ(std::count(log.begin(), log.end(), "CVRNManager  Cleanup  Ended"), 4);
  EXPECT_TRUE(manager.m_updateEntries.empty());

  // Started from another folder, it cleans in listed mode instead.
  FakeMachine x;
  x.modules.programPath = L"C:\\elsewhere\\QZVRN.exe";
  x.files.AddFile(L"C:\\patch\\notes.txt");
  x.files.AddFile(L"C:\\patch\\QZVRN.config");
  CVRNManager other(x.os);
  other.m_cleanupRecursive = 1;
  EXPECT_EQ(other.Cleanup(L"C:\\patch", 1), 1);
  EXPECT_TRUE(x.files.Exists(L"C:\\patch\\notes.txt"));
  EXPECT_FALSE(x.files.Exists(L"C:\\patch\\QZVRN.config"));
  EXPECT_EQ(x.LogLines()[1],
            "CVRNManager:Cleanup  Recursive cleanup refused, the folder does not hold the "
            "program:  C:\\patch");
}

}  // namespace
}  // namespace qz
