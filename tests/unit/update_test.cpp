// The update walk against a fake machine, for what Wine cannot produce:
// a destination in use or failing under the Setup API, a copy declined,
// exceptions from below, and the limits of a program entry.
#include <gtest/gtest.h>

#include <algorithm>

#include "manager/manager.h"
#include "platform/fake/fake_platform.h"

namespace qz {
namespace {

using fake::FakeInstaller;
using fake::FakeMachine;
using Lines = std::vector<std::string>;
using Outcome = FakeInstaller::Outcome;

constexpr port::DWORD kNormal = 0x10580;
constexpr port::DWORD kForced = 0x10780;

class UpdateTest : public ::testing::Test {
 protected:
  UpdateTest() {
    m.files.AddFolder(L"C:\\Prod");
    for (const wchar_t* name : {L"a.dll", L"b.dll", L"c.dll"}) {
      m.files.AddFile(std::wstring(L"C:\\patch\\") + name, "new");
      m.files.AddFile(std::wstring(L"C:\\Prod\\") + name, "old");
      UpdateEntry e;
      e.fileName = name;
      e.installPath = L"C:\\Prod";
      e.comRegRequired = 1;
      manager.m_updateEntries.push_back(e);
    }
  }
  bool Has(const std::string& line) const {
    const Lines log = m.LogLines();
    return std::find(log.begin(), log.end(), line) != log.end();
  }
  // The copy style of each Setup API call, in order.
  std::vector<port::DWORD> Styles() const {
    std::vector<port::DWORD> styles;
    for (const auto& c : m.installer.calls) styles.push_back(c.copyStyle);
    return styles;
  }

  FakeMachine m;
  CVRNManager manager{m.os};
};

TEST_F(UpdateTest, FileInUseIsQueuedAndTurnsEveryLaterCopyIntoTheForcedForm) {
  m.files.Find(L"C:\\Prod\\b.dll")->locked = true;
  EXPECT_TRUE(manager.DoUpdate());
  EXPECT_EQ(Styles(), (std::vector<port::DWORD>{kNormal, kNormal, kForced, kForced}));
  EXPECT_TRUE(m.installer.calls[1].withCallback);
  EXPECT_FALSE(m.installer.calls[2].withCallback);
  EXPECT_TRUE(
      Has("Static:InstallCallback  SPFILENOTIFY_FILEOPDELAYED  File copied in reboot queue"));
  EXPECT_TRUE(
      Has("CVRNManager:InstallPatch  SetupInstallFileEx 2: Result= 1 Filename = b.dll, "
          "Sourcepath = C:\\patch, Destinationpath = C:\\Prod\\b.dll   Info"));
  EXPECT_EQ(manager.m_rebootFlag, 1);
  for (const auto& e : manager.m_updateEntries) EXPECT_TRUE(e.installed);
  EXPECT_EQ(m.installer.queuedForRestart,
            (std::vector<std::wstring>{L"C:\\Prod\\b.dll", L"C:\\Prod\\b.dll"}));
  EXPECT_EQ(m.shell.executions.size(), 3u);
  EXPECT_EQ(m.files.Contents(L"C:\\Prod\\c.dll"), "new");

  // The entry then offers the restart.
  g_pManager = &manager;
  m.ui.pressControl = 1001;
  manager.SystemShutdown();
  g_pManager = nullptr;
  EXPECT_EQ(m.ui.dialogs.size(), 1u);
}

TEST_F(UpdateTest, ACopyThatFailsTwiceIsAFailureOneDeclinedIsSkipped) {
  struct Case {
    const char* name;
    Outcome outcome;
    bool result;
    std::vector<port::DWORD> styles;
    std::string entry;
    std::size_t registered;
  };
  const std::vector<Case> cases = {
      // The handler hears of the copy error; the forced repetition fails too.
      {"copy error",
       Outcome::kCopyError,
       false,
       {kNormal, kNormal, kForced},
       "CVRNManager:DoUpdate  PatchFile = b.dll, SetupInstallFileEx error 5  Failed",
       0},
      {"failure without notification",
       Outcome::kFails,
       false,
       {kNormal, kNormal, kNormal},
       "CVRNManager:DoUpdate  PatchFile = b.dll, SetupInstallFileEx error 5  Failed",
       0},
      {"declined (installed file newer)",
       Outcome::kDeclined,
       true,
       {kNormal, kNormal, kNormal, kNormal},
       "CVRNManager:DoUpdate  PatchFile = b.dll : not copied  Info",
       2},
  };
  for (const Case& c : cases) {
    FakeMachine x;
    x.files.AddFolder(L"C:\\Prod");
    CVRNManager run(x.os);
    for (const wchar_t* name : {L"a.dll", L"b.dll", L"c.dll"}) {
      x.files.AddFile(std::wstring(L"C:\\patch\\") + name, "new");
      UpdateEntry e;
      e.fileName = name;
      e.installPath = L"C:\\Prod";
      e.comRegRequired = 1;
      run.m_updateEntries.push_back(e);
    }
    x.installer.Set(L"C:\\Prod\\b.dll", c.outcome);
    EXPECT_EQ(run.DoUpdate(), c.result) << c.name;
    std::vector<port::DWORD> styles;
    for (const auto& call : x.installer.calls) styles.push_back(call.copyStyle);
    EXPECT_EQ(styles, c.styles) << c.name;
    const Lines log = x.LogLines();
    EXPECT_NE(std::find(log.begin(), log.end(), c.entry), log.end()) << c.name;
    EXPECT_EQ(x.shell.executions.size(), c.registered) << c.name;
    EXPECT_FALSE(run.m_updateEntries[1].installed) << c.name;
    EXPECT_EQ(run.m_restartQueued, 0) << c.name;
  }

  // A file queued for the restart before a later copy fails: the restart
  // is pending all the same (the entry tells the caller).
  m.files.Find(L"C:\\Prod\\a.dll")->locked = true;
  m.installer.Set(L"C:\\Prod\\b.dll", Outcome::kFails);
  EXPECT_FALSE(manager.DoUpdate());
  EXPECT_EQ(Styles(), (std::vector<port::DWORD>{kNormal, kForced, kForced, kForced}));
  EXPECT_EQ(manager.m_restartQueued, 1);
}

TEST_F(UpdateTest, ExceptionsFromBelowAreLoggedAndThrownOn) {
  m.installer.Set(L"C:\\Prod\\a.dll", Outcome::kThrows);
  EXPECT_THROW(
      {
        try {
          manager.DoUpdate();
        } catch (_error e) {
          EXPECT_EQ(e, errGeneralFailure);
          throw;
        }
      },
      _error);
  EXPECT_EQ(m.LogLines().back(), "CVRNManager:DoUpdate  Unknown Exception:  Failed");

  FakeMachine x;
  x.files.unwritableFolders.insert(fake::Fold(L"C:\\patch"));
  CVRNManager run(x.os);
  EXPECT_THROW(
      {
        try {
          run.DoUpdate();
        } catch (_error e) {
          EXPECT_EQ(e, errBackupFailed);
          throw;
        }
      },
      _error);
  EXPECT_EQ(x.LogLines().end()[-3], "CVRNManager:Backup  Backup Directory creation :  Failed");
  EXPECT_EQ(x.LogLines().end()[-2], "CVRNManager:Backup  error 3: C:\\patch\\qzvrn1000  Failed");
  EXPECT_EQ(x.LogLines().back(), "CVRNManager:DoUpdate  Exception:  failed");
}

TEST_F(UpdateTest, BackupSavesWhatWillBeReplacedAndRegistrationUsesTheInstalledName) {
  manager.m_updateEntries[2].fileName = L"sub\\c.dll";
  m.files.AddFile(L"C:\\patch\\sub\\c.dll", "new c");
  manager.m_updateEntries.push_back({});
  manager.m_updateEntries.back().fileName = L"d.dll";
  manager.m_updateEntries.back().installPath = L"C:\\Prod";
  m.files.AddFile(L"C:\\patch\\d.dll", "new d");
  EXPECT_TRUE(manager.DoUpdate());

  const std::wstring backup = L"C:\\patch\\qzvrn1000";
  EXPECT_EQ(manager.m_backupFolder, backup);
  EXPECT_EQ(m.files.Contents(backup + L"\\a.dll"), "old");
  EXPECT_EQ(m.files.Contents(backup + L"\\c.dll"), "old");
  EXPECT_FALSE(m.files.Exists(backup + L"\\d.dll"));
  EXPECT_TRUE(Has("CVRNManager:Backup  Destination file :  Absent"));
  const auto& c = manager.m_updateEntries[2];
  EXPECT_TRUE(c.backedUp);
  EXPECT_EQ(c.backup.fileName, L"c.dll");
  EXPECT_EQ(c.backup.backupFolder, backup);
  EXPECT_FALSE(manager.m_updateEntries[3].backedUp);
  EXPECT_EQ(manager.m_updateEntries[3].backup.destinationFolder, L"C:\\Prod");

  // The file with a folder part came from that subfolder and lies in the
  // install folder under its name alone, where it is registered.
  EXPECT_EQ(m.files.Contents(L"C:\\Prod\\c.dll"), "new c");
  ASSERT_EQ(m.shell.executions.size(), 3u);
  const auto& reg = m.shell.executions[2];
  EXPECT_EQ(reg.verb, L"open");
  EXPECT_EQ(reg.file, L"Regsvr32.exe");
  EXPECT_EQ(reg.parameters, L" /s \"C:\\Prod\\c.dll\"");
  EXPECT_EQ(reg.showCommand, 0);
  EXPECT_TRUE(Has("CVRNManager:RegisterCOMDLLS  Regsvr32  /s \"C:\\Prod\\c.dll\"  Info"));
}

// A patch may remove a later entry's file itself; the walk goes on and the
// update still succeeds, so a restart queued before is still offered.
TEST_F(UpdateTest, FilesGoneAtWalkTimeAreSkippedAndTheUpdateSucceeds) {
  m.files.Find(L"C:\\Prod\\a.dll")->locked = true;
  m.files.DeleteFileW(L"C:\\patch\\b.dll");
  UpdateEntry program;
  program.fileName = L"gone.exe";
  program.arguments = L"NULL";
  program.executionRequired = true;
  manager.m_updateEntries.push_back(program);
  EXPECT_TRUE(manager.DoUpdate());
  EXPECT_TRUE(Has("CVRNManager:DoUpdate  File Not Found  Failed to Load"));
  EXPECT_TRUE(Has("CVRNManager:DoUpdate  Execution_Required=TRUE, File Not Found  Failed to Load"));
  EXPECT_EQ(m.files.Contents(L"C:\\Prod\\c.dll"), "new");
  EXPECT_EQ(manager.m_rebootFlag, 1);
  EXPECT_EQ(m.LogLines().back(), "CVRNManager  DoUpdate  Ended");
}

// A condition that cannot be asked does not hold: a reference that is no
// safe name, or one whose script could not be prepared. One the conditions
// file never defined applies, as it always did.
TEST_F(UpdateTest, ConditionsThatCannotBeAskedDoNotApplyTheirEntry) {
  manager.m_updateEntries[0].conditionRef = L"x\\..\\..\\qzoutside";
  manager.m_updateEntries[1].conditionRef = L"Unwritten";
  manager.m_unpreparedConditions.insert(fake::UpperCase(L"unwritten"));
  manager.m_updateEntries[2].conditionRef = L"NeverDefined";
  EXPECT_TRUE(manager.DoUpdate());
  EXPECT_EQ(m.files.Contents(L"C:\\Prod\\a.dll"), "old");
  EXPECT_EQ(m.files.Contents(L"C:\\Prod\\b.dll"), "old");
  EXPECT_EQ(m.files.Contents(L"C:\\Prod\\c.dll"), "new");
  EXPECT_TRUE(m.processes.launches.empty());  // no script host ran
  EXPECT_TRUE(
      Has("CVRNManager:DoUpdate SubCondition:   PatchFile = a.dll, SubCondition = "
          "x\\..\\..\\qzoutside : Returns FALSE  Failed"));
}

TEST_F(UpdateTest, ProgramEntryLimits) {
  struct Case {
    const char* name;
    std::wstring arguments;
    std::function<void(FakeMachine&)> arrange;
    bool result;
    std::string entry;
  };
  const std::wstring program = L"C:\\patch\\setup.exe";
  const std::vector<Case> cases = {
      // One more than the runner takes: refused before anything starts.
      {"command line of 255",
       std::wstring(255 - program.size() - 1, L'x'),
       {},
       false,
       "CVRNManager:DoUpdate  Execution_Required=TRUE, Command line too long  Failed"},
      {"wait fails", L"/silent",
       [&](FakeMachine& x) { x.processes.programs[fake::Fold(program)].neverEnds = true; }, false,
       "CVRNManager:DoUpdate  Execution_Required=TRUE, RunProcess  Failed"},
  };
  for (const Case& c : cases) {
    FakeMachine x;
    x.files.AddFile(program);
    x.processes.unknownProgramError.reset();
    if (c.arrange) c.arrange(x);
    CVRNManager run(x.os);
    UpdateEntry e;
    e.fileName = L"setup.exe";
    e.executionRequired = 1;
    e.arguments = c.arguments;
    run.m_updateEntries = {e};
    EXPECT_EQ(run.DoUpdate(), c.result) << c.name;
    EXPECT_EQ(x.LogLines().back(), c.entry) << c.name;
    EXPECT_EQ(x.processes.OpenHandles(), 0u) << c.name;
  }
}

}  // namespace
}  // namespace qz
