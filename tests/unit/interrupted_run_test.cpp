// A run stopped inside its walk, and the next start that undoes it, on the
// fake machine: the record cut off at every byte, a destination with and
// without an original, and originals that cannot be put back. The kill
// itself is the Wine test's (test_interrupted_run.py).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "manager/manager.h"
#include "platform/fake/fake_platform.h"

namespace qz {
namespace {

using fake::FakeMachine;

const std::wstring kProd = L"C:\\Prod\\Gr\u00f6\u00dfe \u88fd\u54c1 " + std::wstring(200, L'L');
const std::wstring kBackup = L"C:\\patch\\qzvrn1000";
const std::wstring kRecord = kBackup + L"\\QZVRN.journal";
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
  port::Platform os{o.system, o.files, o.registry, o.processes, o.modules, o.com,
                    o.xml,    o.ui,    o.resources, installer,  o.shell,   o.shutdown};
  CVRNManager manager(os);
  for (int i = 0; i < 3; ++i) {
    x.files.AddFile(L"C:\\patch\\" + fake::W(kNames[i]), std::string("new ") + kNames[i]);
    if (kOriginals[i]) x.files.AddFile(Destination(i), kOriginals[i]);
    UpdateEntry e;
    e.fileName = fake::W(kNames[i]);
    e.installPath = kProd;
    manager.m_updateEntries.push_back(e);
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
  EXPECT_TRUE(Has(x, "CVRNManager:Cleanup - Remove backup folder:  " + fake::Narrow(kBackup) +
                         "  Succeeded"));
  for (std::size_t i = logged; i < log.size(); ++i) {
    EXPECT_EQ(log[i].find("journal"), std::string::npos) << log[i];
  }

  // Stopped after its walk (at the restart offer, say): nothing is undone,
  // the stale folder goes.
  FakeMachine y;
  y.files.AddFile(Destination(0), "new a.dll");
  y.files.AddFile(kBackup + L"\\a.dll", "old a.dll");
  y.files.AddFile(kRecord, record);
  CVRNManager manager(y.os);
  EXPECT_TRUE(manager.RecoverInterruptedRun());
  EXPECT_EQ(At(y, 0), "new a.dll");
  EXPECT_EQ(y.LogLines().size(), 1u);
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
      CVRNManager manager(x.os);
      EXPECT_TRUE(manager.RecoverInterruptedRun());
      for (int i = 0; i < 3; ++i) {
        const std::string original = kOriginals[i] ? kOriginals[i] : "absent";
        const std::string left = i < stopAt ? std::string("new ") + kNames[i]
                                 : i == stopAt ? "ne" : original;
        EXPECT_EQ(At(x, i), marked('B', i) ? original : left) << i;
      }
      EXPECT_FALSE(x.files.Exists(kBackup));
      if (cut == record.size()) {
        std::vector<std::string> expected;
        for (int i = stopAt; i >= 0; --i) {
          expected.push_back((kOriginals[i] ? "CVRNManager:RecoverInterruptedRun - Restore original:  "
                                            : "CVRNManager:RecoverInterruptedRun - Remove new file:  ") +
                             fake::Narrow(Destination(i)) + "  Succeeded");
        }
        expected.push_back("CVRNManager:RecoverInterruptedRun - Remove stale backup folder:  " +
                           fake::Narrow(kBackup) + "  Succeeded");
        EXPECT_EQ(x.LogLines(), expected);
      }
    }
  }
}

TEST(InterruptedRunTest, AnOriginalThatCannotComeBackKeepsTheFolderAndItsRecord) {
  const std::vector<std::pair<const char*, std::function<void(FakeMachine&)>>> cases = {
      {"backup copy gone", [](FakeMachine& x) { x.files.DeleteFileW(kBackup + L"\\b.dll"); }},
      {"destination held", [](FakeMachine& x) { x.files.Find(Destination(1))->locked = true; }},
  };
  for (const auto& [what, arrange] : cases) {
    SCOPED_TRACE(what);
    FakeMachine x;
    Walk(x, 1);
    arrange(x);
    CVRNManager manager(x.os);
    EXPECT_FALSE(manager.RecoverInterruptedRun());
    EXPECT_TRUE(x.files.Exists(kRecord));
    EXPECT_EQ(At(x, 1), "ne");
    EXPECT_EQ(x.LogLines(),
              (std::vector<std::string>{
                  "CVRNManager:RecoverInterruptedRun - Restore original:  " +
                      fake::Narrow(Destination(1)) + "  Failed",
                  "CVRNManager:RecoverInterruptedRun - Restore original:  " +
                      fake::Narrow(Destination(0)) + "  Succeeded"}));
  }

  // Two entries whose files share a name share one backup copy, which
  // holds the later one's original only.
  FakeMachine x;
  x.files.AddFile(L"C:\\One\\s.dll", "new 1");
  x.files.AddFile(kBackup + L"\\s.dll", "old 2");
  UpdateEntry one;
  one.fileName = L"s.dll";
  one.installPath = L"C:\\One";
  one.backedUp = 1;
  one.backup.backedUpFileName = L"s.dll";
  UpdateEntry two = one;
  two.installPath = L"C:\\Two";
  {
    WalkJournal journal(x.files);
    ASSERT_TRUE(journal.Create(kBackup, {one, two}));
    EXPECT_TRUE(journal.MarkBegun(0));
  }
  CVRNManager manager(x.os);
  EXPECT_FALSE(manager.RecoverInterruptedRun());
  EXPECT_EQ(x.files.Contents(L"C:\\One\\s.dll"), "new 1");
  EXPECT_TRUE(x.files.Exists(kRecord));
}

}  // namespace
}  // namespace qz
