// A run stopped inside its walk, and the next start that undoes it, on the
// fake machine: the record cut off at every byte, a destination with and
// without an original, and originals that cannot be put back. The kill
// itself is the Wine test's (test_interrupted_run.py).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <tuple>

#include "manager/manager.h"
#include "platform/fake/fake_platform.h"

namespace qz {
namespace {

using fake::FakeMachine;

const std::wstring kProd = L"C:\\Prod\\Gr\u00f6\u00dfe \u88fd\u54c1 " + std::wstring(200, L'L');
const std::wstring kBackup = L"C:\\patch\\qzvrn1000";
const std::wstring kRecord = kBackup + L"\\QZVRN.journal";
const std::wstring kKey = L"SOFTWARE\\QZ\\Product";
struct Stopped {};

// Installs as the Setup API does; at the destination named `stopAt` it
// writes the first bytes of the new file and the run stops there.
class StoppingInstaller : public fake::FakeInstaller {
 public:
  using FakeInstaller::FakeInstaller;
  fake::FakeFiles* files = nullptr;
  std::wstring stopAt;
  std::vector<bool> recordFlushed;  // at each call: the record whole on the disk
  bool SetupInstallFileExW(const std::wstring& sourceFile, const std::wstring& root,
                           const std::wstring& destination, port::DWORD style,
                           port::FileCallback callback, void* context, bool& inUse,
                           port::DWORD& error) override {
    recordFlushed.push_back(files->flushedSizes[fake::Fold(kRecord)] ==
                            files->Contents(kRecord)->size());
    if (destination == kProd + L"\\" + stopAt) {
      fake::FakeFiles::Entry torn;
      torn.contents = "ne";
      files->Put(destination, torn);
      throw Stopped{};
    }
    return FakeInstaller::SetupInstallFileExW(sourceFile, root, destination, style, callback,
                                              context, inUse, error);
  }
};

const char* const kNames[] = {"a.dll", "b.dll", "n.dll"};
const char* const kOriginals[] = {"old a.dll", "old b.dll", nullptr};  // n.dll is new

std::wstring Destination(int i) { return kProd + L"\\" + fake::W(kNames[i]); }

std::string At(FakeMachine& x, int i) {
  return x.files.Contents(Destination(i)).value_or("absent");
}

// The configuration of a.dll, b.dll and n.dll, found through the registry
// as LocateAndVerifyInstallPath finds it; `located` also sets the install
// paths, as a run has them in its walk.
std::vector<UpdateEntry> Entries(FakeMachine& x, bool located) {
  // The value holds at most 127 characters: the long part is the relative
  // path.
  x.registry.SetString(kKey, L"InstallDir", L"C:\\Prod");
  x.files.AddFolder(kProd);
  std::vector<UpdateEntry> entries;
  for (const char* name : kNames) {
    UpdateEntry e;
    e.fileName = fake::W(name);
    e.registryLocations = {{kKey, L"InstallDir", kProd.substr(8)}};
    if (located) e.installPath = kProd;
    entries.push_back(e);
  }
  return entries;
}

// The next start's recovery, with this patch's configuration.
bool Recover(FakeMachine& x) {
  CVRNManager manager(x.os);
  manager.m_updateEntries = Entries(x, false);
  return manager.RecoverInterruptedRun();
}

// The log without the recovering manager's own last entry.
std::vector<std::string> Logged(const FakeMachine& x) {
  std::vector<std::string> lines = x.LogLines();
  if (!lines.empty() && lines.back() == "CVRNManager  ~CVRNManager  Started") lines.pop_back();
  return lines;
}

bool Has(const FakeMachine& x, const std::string& line) {
  const auto log = x.LogLines();
  return std::find(log.begin(), log.end(), line) != log.end();
}

// The walk over a.dll, b.dll and n.dll, stopped at entry `stopAt` (3: not
// stopped); `then` runs with the manager before it goes.
std::vector<bool> Walk(FakeMachine& x, int stopAt,
                       const std::function<void(CVRNManager&)>& then = {}) {
  StoppingInstaller installer(x.files);
  installer.files = &x.files;
  installer.stopAt = stopAt < 3 ? fake::W(kNames[stopAt]) : L"";
  const port::Platform& o = x.os;
  port::Platform os{o.system, o.files,     o.registry, o.processes, o.modules,  o.com, o.xml,
                    o.ui,     o.resources, installer,  o.shell,     o.shutdown, o.sync};
  CVRNManager manager(os);
  manager.m_updateEntries = Entries(x, true);
  for (int i = 0; i < 3; ++i) {
    x.files.AddFile(L"C:\\patch\\" + fake::W(kNames[i]), std::string("new ") + kNames[i]);
    if (kOriginals[i]) x.files.AddFile(Destination(i), kOriginals[i]);
  }
  try {
    manager.DoUpdate();
  } catch (...) {
  }
  if (then) then(manager);
  return installer.recordFlushed;
}

TEST(InterruptedRunTest, AnUninterruptedWalkFlushesItsRecordAndCleanupTakesItSilently) {
  FakeMachine x;
  std::size_t logged = 0;
  std::string record;
  const auto flushed = Walk(x, 3, [&](CVRNManager& manager) {
    record = x.files.Contents(kRecord).value_or("");
    logged = x.LogLines().size();
    manager.Cleanup(L"C:\\patch", 1);
  });
  // Whole on the disk each time before a destination is touched.
  EXPECT_EQ(flushed, (std::vector<bool>{true, true, true}));
  EXPECT_FALSE(x.files.Exists(kBackup));
  const auto log = x.LogLines();
  EXPECT_TRUE(Has(
      x, "CVRNManager:Cleanup - Remove backup folder:  " + fake::Narrow(kBackup) + "  Succeeded"));
  for (std::size_t i = logged; i < log.size(); ++i) {
    EXPECT_EQ(log[i].find("journal"), std::string::npos) << log[i];
  }

  // Stopped after its walk (at the restart offer, say): nothing is undone,
  // the stale folder goes.
  FakeMachine y;
  y.files.AddFile(Destination(0), "new a.dll");
  y.files.AddFile(kBackup + L"\\a.dll", "old a.dll");
  y.files.AddFile(kRecord, record);
  EXPECT_TRUE(Recover(y));
  EXPECT_EQ(At(y, 0), "new a.dll");
  EXPECT_EQ(Logged(y).size(), 1u) << y.LogBytes();
  EXPECT_FALSE(y.files.Exists(kBackup));
}

// Stopped inside each destination, the record cut after every byte: at the
// next start every destination whose begun mark is whole gets its original
// back (completed or not), the others are left, and the stale folder goes.
TEST(InterruptedRunTest, ARecordCutAtAnyByteStillReadsAndUndoesTheWalk) {
  for (int stopAt : {1, 2}) {  // b.dll has an original, n.dll had none
    SCOPED_TRACE(kNames[stopAt]);
    FakeMachine stopped;
    Walk(stopped, stopAt);
    const std::string record = *stopped.files.Contents(kRecord);
    for (std::size_t cut = 0; cut <= record.size(); ++cut) {
      SCOPED_TRACE(cut);
      const std::size_t whole = cut == 0 ? 0 : record.rfind('\n', cut - 1) + 1;
      const std::string lines = "\n" + record.substr(0, whole);
      auto marked = [&](char kind, int i) {
        return lines.find("\n" + std::string(1, kind) + "\t" + std::to_string(i) + "\t") !=
               std::string::npos;
      };
      FakeMachine x;
      for (int i = 0; i < 3; ++i) {
        const char* now = i < stopAt ? nullptr : i == stopAt ? "ne" : kOriginals[i];
        if (i < stopAt) x.files.AddFile(Destination(i), std::string("new ") + kNames[i]);
        if (now) x.files.AddFile(Destination(i), now);
        if (kOriginals[i]) x.files.AddFile(kBackup + L"\\" + fake::W(kNames[i]), kOriginals[i]);
      }
      x.files.AddFile(kRecord, record.substr(0, cut));
      EXPECT_TRUE(Recover(x));
      for (int i = 0; i < 3; ++i) {
        const std::string original = kOriginals[i] ? kOriginals[i] : "absent";
        const std::string left = i < stopAt    ? std::string("new ") + kNames[i]
                                 : i == stopAt ? "ne"
                                               : original;
        EXPECT_EQ(At(x, i), marked('B', i) ? original : left) << i;
      }
      EXPECT_FALSE(x.files.Exists(kBackup));
      if (cut == record.size()) {
        std::vector<std::string> expected;
        for (int i = stopAt; i >= 0; --i) {
          expected.push_back((kOriginals[i]
                                  ? "CVRNManager:RecoverInterruptedRun - Restore original:  "
                                  : "CVRNManager:RecoverInterruptedRun - Remove new file:  ") +
                             fake::Narrow(Destination(i)) + "  Succeeded");
        }
        expected.push_back("CVRNManager:RecoverInterruptedRun - Remove stale backup folder:  " +
                           fake::Narrow(kBackup) + "  Succeeded");
        EXPECT_EQ(Logged(x), expected);
      }
    }
  }
}

TEST(InterruptedRunTest, AnOriginalThatCannotComeBackKeepsTheFolderAndItsRecord) {
  FakeMachine x;
  Walk(x, 1);
  x.files.Find(Destination(1))->locked = true;
  EXPECT_FALSE(Recover(x));
  EXPECT_TRUE(x.files.Exists(kRecord));
  EXPECT_EQ(At(x, 1), "ne");
  EXPECT_EQ(Logged(x), (std::vector<std::string>{
                           "CVRNManager:RecoverInterruptedRun - Restore original:  error 32: " +
                               fake::Narrow(Destination(1)) + "  Failed",
                           "CVRNManager:RecoverInterruptedRun - Restore original:  " +
                               fake::Narrow(Destination(0)) + "  Succeeded"}));

  // A record that cannot be deleted keeps the copies it names.
  FakeMachine y;
  Walk(y, 1);
  y.files.Find(kRecord)->attributes |= port::kFileAttributeReadOnly;
  EXPECT_TRUE(Recover(y));
  EXPECT_EQ(At(y, 1), "old b.dll");
  EXPECT_TRUE(y.files.Exists(kBackup + L"\\b.dll"));
  EXPECT_TRUE(Has(y, "CVRNManager:RecoverInterruptedRun - Remove stale backup folder:  error 5: " +
                         fake::Narrow(kBackup) + "  Failed"));
}

TEST(InterruptedRunTest, CleanupKeepsTheCopiesWhileTheRecordStays) {
  FakeMachine x;
  Walk(x, 3, [&](CVRNManager& manager) {
    x.files.Find(kRecord)->locked = true;
    manager.Cleanup(L"C:\\patch", 1);
  });
  EXPECT_TRUE(x.files.Exists(kBackup + L"\\a.dll"));
  EXPECT_TRUE(x.files.Exists(kBackup + L"\\b.dll"));
  EXPECT_TRUE(Has(x, "CVRNManager:Cleanup - Delete backup record:  error 5: " +
                         fake::Narrow(kRecord) + "  Failed"));
  EXPECT_TRUE(
      Has(x, "CVRNManager:Cleanup - Remove backup folder:  " + fake::Narrow(kBackup) + "  Failed"));
}

// Writes the record again as a planter would, checksums and all, with the
// first change altered.
void Rewrite(FakeMachine& x, const std::function<void(FileChange&)>& alter) {
  JournalReading reading = ReadJournal(*x.files.Contents(kRecord));
  ASSERT_TRUE(reading.record);
  std::vector<FileChange>& changes = reading.record->changes;
  alter(changes.front());
  x.files.DeleteFileW(kRecord);
  WalkJournal journal(x.files);
  ASSERT_TRUE(journal.Create(kBackup, changes));
  for (const FileChange& c : changes) {
    if (c.begun) journal.MarkBegun(c.index);
  }
}

// A record is input, not proof: each of these is refused whole. Nothing is
// touched, the folder stays, and one entry says why.
TEST(InterruptedRunTest, ARecordThatDoesNotHoldIsRefusedAndNothingIsTouched) {
  const std::string planted = "\\WINDOWS\\system32\\drivers\\tcpip.sys";
  const std::vector<std::tuple<const char*, std::function<void(FakeMachine&)>, const char*>> cases =
      {
          {"destination not this patch's",
           [&](FakeMachine& x) {
             Rewrite(x, [&](FileChange& c) { c.destination = L"C:" + fake::W(planted); });
           },
           "names a destination that is not this patch's"},
          {"copy name with a separator",
           [](FakeMachine& x) {
             Rewrite(x, [](FileChange& c) { c.copyName = L"..\\" + c.copyName; });
           },
           "names a backup copy outside its folder"},
          {"copy changed",
           [](FakeMachine& x) { x.files.Find(kBackup + L"\\a.dll")->contents = "evil"; },
           "its backup copy is not what was saved: a.dll"},
          {"copy gone", [](FakeMachine& x) { x.files.DeleteFileW(kBackup + L"\\b.dll"); },
           "its backup copy is not what was saved: b.dll"},
          {"record unreadable", [](FakeMachine& x) { x.files.Find(kRecord)->locked = true; },
           "the record cannot be opened"},
          {"read error inside", [](FakeMachine& x) { x.files.Find(kRecord)->readFailsAt = 40; },
           "the record cannot be read past byte 40"},
          {"oversized",
           [](FakeMachine& x) { x.files.Find(kRecord)->contents.append(17u << 20, '\n'); },
           "the record is larger than any walk writes"},
          {"damaged line inside",
           [](FakeMachine& x) {
             std::string& r = x.files.Find(kRecord)->contents;
             r[r.find("\nB\t") + 3] = '7';
           },
           "line 4 is damaged"},
      };
  for (const auto& [what, spoil, why] : cases) {
    SCOPED_TRACE(what);
    FakeMachine x;
    Walk(x, 1);
    spoil(x);
    const auto before = x.files.entries;
    EXPECT_FALSE(Recover(x));
    EXPECT_EQ(x.files.entries.size(), before.size());
    for (const auto& [path, entry] : before) {
      if (path == fake::Fold(L"C:\\Temp\\QZZqzvrn.log")) continue;
      EXPECT_EQ(x.files.entries[path].contents, entry.contents) << fake::Narrow(path);
    }
    const auto log = Logged(x);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].rfind("CVRNManager:RecoverInterruptedRun - Backup record refused:  ", 0), 0u);
    EXPECT_NE(log[0].find(why), std::string::npos) << log[0];
    EXPECT_EQ(log[0].substr(log[0].size() - 8), "  Failed");
  }
}

// Only plain folders named as Backup names them are backup folders: a
// junction, or another folder that starts with "qzvrn", is not entered.
TEST(InterruptedRunTest, OnlyBackupFoldersAreEntered) {
  for (const std::wstring folder : {L"C:\\patch\\qzvrn2000", L"C:\\patch\\qzvrn_docs"}) {
    FakeMachine x;
    Walk(x, 1);
    x.files.MoveFileW(kBackup, folder);
    for (const std::wstring name : {L"\\QZVRN.journal", L"\\a.dll", L"\\b.dll"}) {
      x.files.MoveFileW(kBackup + name, folder + name);
    }
    if (folder.back() == L'0') x.files.Find(folder)->attributes |= port::kFileAttributeReparsePoint;
    EXPECT_TRUE(Recover(x));
    EXPECT_EQ(At(x, 1), "ne");
    EXPECT_TRUE(x.files.Exists(folder + L"\\QZVRN.journal"));
  }
}

// A record as large as a real walk of 40,000 entries reads in linear time
// (bench/record_bench.cpp measures it).
TEST(InterruptedRunTest, ALargeRecordReadsWhole) {
  std::string text;
  FakeMachine x;
  x.files.AddFolder(kBackup);
  WalkJournal journal(x.files);
  std::vector<FileChange> changes;
  for (std::size_t i = 0; i < 40000; ++i) {
    changes.push_back({i, kProd + L"\\f" + std::to_wstring(i) + L".dll",
                       L"f" + std::to_wstring(i) + L".dll", 3, std::string(64, 'a')});
  }
  ASSERT_TRUE(journal.Create(kBackup, changes));
  for (std::size_t i = 0; i < changes.size(); ++i) ASSERT_TRUE(journal.MarkBegun(i));
  const JournalReading reading = ReadJournal(*x.files.Contents(kRecord));
  ASSERT_TRUE(reading.record) << fake::Narrow(reading.refusal);
  EXPECT_EQ(reading.record->changes.size(), 40000u);
  EXPECT_TRUE(reading.record->changes.back().begun);
}

}  // namespace
}  // namespace qz
