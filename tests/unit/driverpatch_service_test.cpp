// The driver patch's service steps against the fakes: the start wait, the
// replacement's two ends and its mended faults, the device-window signals
// and the service gate's file name.
#include <gtest/gtest.h>

#include "driverpatch/driver_patch.h"
#include "tests/unit/driver_patch_fakes.h"

namespace qz::driverpatch {
namespace {

using fake::FakeDriverPatchMachine;
using port::ServiceStatus;

constexpr port::DWORD kPending = port::kServiceStartPending;
constexpr port::DWORD kRunning = port::kServiceRunning;
const std::string kService = "TXL Driver QZZ12";

struct ServiceTest : ::testing::Test {
  FakeDriverPatchMachine m;
  DriverPatch run{m.os};
  fake::FakeServices::Service& service() { return m.services.services[kService]; }
  Replacement Replace(const std::string& binaryPath = FakeDriverPatchMachine::kServicePath) {
    return ReplaceServiceExecutable(run, kService, binaryPath, "C:\\patch\\QZZipm12.exe",
                                    "C:\\WINDOWS\\system32\\qzzipm12.exe", "C:\\patch");
  }
  std::optional<std::string> Contents(const std::string& path) {
    return m.files.Contents(fake::W(path));
  }
};

TEST_F(ServiceTest, StartWaitPassesFollowTheWaitHint) {
  struct Case {
    const char* what;
    std::vector<ServiceStatus> afterStart;
    std::vector<port::DWORD> sleeps;
    bool running;
  };
  const Case cases[] = {
      // Hint 0: 1 s a pass, and the first pass without progress ends it.
      {"hint 0", {{kPending, 0, 0}, {kPending, 0, 0}}, {1000}, false},
      // More than 100 s: passes of 10 s.
      {"hint 200 s",
       {{kPending, 1, 200000}, {kPending, 2, 200000}, {kRunning, 0, 0}},
       {10000, 10000},
       true},
      // Progress restarts the clock; without it the wait ends once the
      // hint is exceeded, not reached.
      {"progress",
       {{kPending, 1, 3000}, {kPending, 2, 3000}, {kPending, 2, 3000}},
       {1000, 1000, 1000, 1000, 1000},
       false},
      {"hint 50 s", {{kPending, 1, 50000}, {kRunning, 0, 0}}, {5000}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeDriverPatchMachine fresh;
    DriverPatch r{fresh.os};
    fresh.services.services[kService].afterStart = c.afterStart;
    fresh.services.services[kService].state = 1;
    EXPECT_EQ(StartServiceAndWait(r, kService), c.running);
    EXPECT_EQ(fresh.system.sleeps, c.sleeps);
    EXPECT_EQ(fresh.services.OpenHandles(), 1u);  // the manager stays open
  }
}

TEST_F(ServiceTest, StartKeepsOneManagerHandleAndFailsWithoutTheService) {
  EXPECT_TRUE(StartServiceAndWait(run, kService));
  m.services.services.erase(kService);
  EXPECT_FALSE(StartServiceAndWait(run, kService));
  EXPECT_EQ(std::count(m.services.calls.begin(), m.services.calls.end(), "OpenSCManagerA 983103"),
            1);
}

TEST_F(ServiceTest, DirectReplacementCopiesThreeTargetsThenRegistersAndStarts) {
  m.windows.windows = {{port::WindowHandle{0x10}, "CQZAiODeviceIO"}};
  EXPECT_EQ(Replace(), Replacement::kDirect);
  EXPECT_EQ(Contents(FakeDriverPatchMachine::kServicePath), "new");
  EXPECT_EQ(Contents("C:\\WINDOWS\\system32\\qzzipm12.exe"), "new");
  EXPECT_EQ(Contents("C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\QZZIPM12.EXE"), "new");
  ASSERT_EQ(m.shell.launches.size(), 1u);
  EXPECT_EQ(m.shell.launches[0].file, FakeDriverPatchMachine::kServicePath);
  EXPECT_EQ(m.shell.launches[0].parameters, "/REGSERVER");
  EXPECT_EQ(m.shell.launches[0].show, 1);
  EXPECT_EQ(m.system.sleeps, (std::vector<port::DWORD>{200, 200, 500, 200, 200, 200, 100, 100}));
  EXPECT_EQ(m.windows.posted.size(), 1u);
  EXPECT_EQ(m.windows.sent.size(), 3u);
  EXPECT_TRUE(m.installer.installsA.empty());
}

TEST_F(ServiceTest, ServiceInTheSystemDirectoryIsCopiedOnce) {
  m.files.AddFile(L"C:\\WINDOWS\\system32\\QZZipm12.exe", "old");
  EXPECT_EQ(Replace("C:\\windows\\SYSTEM32\\QZZipm12.exe"), Replacement::kDirect);
  EXPECT_EQ(m.files.copiesA.size(), 2u);
}

TEST(DriverPatchTargets, UnreadableFoldersLeaveTheirTargetOut) {
  for (const bool driverFolder : {false, true}) {
    FakeDriverPatchMachine m;
    DriverPatch run{m.os};
    m.files.AddFile(L"C:\\patch\\TXLDriverPatch.exe");
    if (driverFolder) {
      m.printers.driverDirectory = std::nullopt;
    } else {
      m.system.systemDirectoryA = std::nullopt;
    }
    EXPECT_EQ(RunDriverPatch(run, "/silent"), 0);
    for (const auto& [from, to] : m.files.copiesA) {
      EXPECT_EQ(to.rfind("C:\\", 0), 0u) << to;  // never a relative path
    }
    EXPECT_EQ(m.files.copiesA.size(), 2u);
    EXPECT_TRUE(m.installer.installsA.empty());
    const std::string mark = driverFolder ? "No printer-driver directory: driver target left out"
                                          : "No system directory: system target left out";
    EXPECT_NE(std::find(m.debug.lines.begin(), m.debug.lines.end(), mark), m.debug.lines.end());
  }
}

TEST_F(ServiceTest, LockedServiceExecutableIsScheduledAndTheSourceRegistered) {
  m.files.Find(fake::W(FakeDriverPatchMachine::kServicePath))->locked = true;
  EXPECT_EQ(Replace(), Replacement::kDeferred);
  ASSERT_EQ(m.installer.installsA.size(), 1u);
  const auto& install = m.installer.installsA[0];
  EXPECT_EQ(install.file, "QZZipm12.exe");
  EXPECT_EQ(install.root, "C:\\patch");
  EXPECT_EQ(install.destination, FakeDriverPatchMachine::kServicePath);
  EXPECT_EQ(install.style, 0x10780u);
  ASSERT_EQ(m.shell.launches.size(), 1u);
  EXPECT_EQ(m.shell.launches[0].file, "C:\\patch\\QZZipm12.exe");
  EXPECT_EQ(Contents("C:\\WINDOWS\\system32\\qzzipm12.exe"), "new");
}

TEST_F(ServiceTest, ServiceThatCannotBeDeletedSchedulesAllThreeRealTargets) {
  service().deleteFails = true;
  EXPECT_EQ(Replace(), Replacement::kDeferred);
  std::vector<std::string> destinations;
  for (const auto& i : m.installer.installsA) destinations.push_back(i.destination);
  EXPECT_EQ(destinations, (std::vector<std::string>{
                              FakeDriverPatchMachine::kServicePath,
                              "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\QZZIPM12.EXE",
                              "C:\\WINDOWS\\system32\\qzzipm12.exe"}));
  EXPECT_TRUE(m.files.copiesA.empty());
  // A service in the system directory: that target is scheduled once.
  m.installer.installsA.clear();
  EXPECT_EQ(Replace("C:\\WINDOWS\\System32\\QZZIPM12.exe"), Replacement::kDeferred);
  EXPECT_EQ(m.installer.installsA.size(), 2u);
}

TEST_F(ServiceTest, ASecondStopThatCannotBeAskedStillReportsTheScheduledCopies) {
  service().deleteFails = true;
  m.services.managerOpensLeft = 1;
  EXPECT_EQ(Replace(), Replacement::kDeferred);
  EXPECT_EQ(m.installer.installsA.size(), 3u);
}

TEST_F(ServiceTest, ManagerWithoutFullAccessEndsTheRunWithMinusOne) {
  m.services.refusedManagerAccess = {port::kScManagerAllAccess};
  m.files.AddFile(L"C:\\patch\\TXLDriverPatch.exe");
  EXPECT_EQ(RunDriverPatch(run, "/silent"), -1);
  EXPECT_TRUE(m.files.copiesA.empty());
  EXPECT_TRUE(m.installer.installsA.empty());
  EXPECT_FALSE(m.files.Exists(L"C:\\patch\\QZVRN_Returncode.txt"));
}

TEST_F(ServiceTest, DeviceSignalsReachOnlyTheExactClassAndGiveUpOnAHungWindow) {
  m.windows.windows = {{port::WindowHandle{0x10}, "CQZAiODeviceIO"},
                       {port::WindowHandle{0x20}, "cqzaiodeviceio"},
                       {port::WindowHandle{0x30}, "CQZAiODeviceIO2"},
                       {port::WindowHandle{0x40}, "CQZAiODeviceIO"}};
  NotifyDeviceWindows(run, 1);
  ASSERT_EQ(m.windows.posted.size(), 2u);
  EXPECT_EQ(m.windows.posted[1].window, port::WindowHandle{0x40});
  EXPECT_EQ(m.windows.posted[0].message, 0x46Fu);
  EXPECT_EQ(m.windows.posted[0].wParam, 0u);
  EXPECT_EQ(m.windows.posted[0].lParam, 1);
  NotifyDeviceWindows(run, 2);
  ASSERT_EQ(m.windows.sent.size(), 6u);
  for (const auto& s : m.windows.sent) {
    EXPECT_EQ(s.message, 0x219u);
    EXPECT_EQ(s.wParam, 0x8000u);
    EXPECT_EQ(s.record, (std::vector<std::uint32_t>{20, 0, 0, 0x3F0, 0}));
    EXPECT_EQ(s.flags, port::kSmtoAbortIfHung);
    EXPECT_EQ(s.timeoutMs, 5000u);
  }
  EXPECT_EQ(m.system.sleeps, (std::vector<port::DWORD>{100, 100, 100, 100}));
}

TEST_F(ServiceTest, FileNameIsTheTextAfterTheLastBackslash) {
  m.system.leadBytes = {0x83};
  const std::pair<std::string, std::string> rows[] = {
      {"", ""},
      {"QZZipm12.exe", "QZZipm12.exe"},  // no backslash: the whole path
      {"C:\\a\\b\\qzzipm12.EXE", "qzzipm12.EXE"},
      {"C:\\a\\", ""},
      {"XXXX\\XXXX", "XXXX"},
      // 0x83 0x5C is one character of a two-byte code page, no separator.
      {"C:\\d\x83\\x.exe", "d\x83\\x.exe"},
  };
  for (const auto& [path, name] : rows) {
    std::string out = "junk";
    EXPECT_EQ(FileNameFromPath(run, path, out), 1);
    EXPECT_EQ(out, name) << path;
  }
}

TEST_F(ServiceTest, BinaryPathIsReadWithASecondQueryOfTheNeededSize) {
  std::string path;
  EXPECT_TRUE(QueryServiceBinaryPath(run, kService, path));
  EXPECT_EQ(path, FakeDriverPatchMachine::kServicePath);
  EXPECT_EQ(m.services.OpenHandles(), 0u);
  m.services.services.clear();
  EXPECT_TRUE(QueryServiceBinaryPath(run, kService, path));
  EXPECT_EQ(path, "XXXX\\XXXX");
  m.services.refusedManagerAccess = {port::kScManagerConnect};
  EXPECT_FALSE(QueryServiceBinaryPath(run, kService, path));
}

}  // namespace
}  // namespace qz::driverpatch
