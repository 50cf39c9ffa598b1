// The OS checks against a fake machine: every row of the supported-OS
// table on the systems it must and must not accept, the basic-record
// fallback, the 9x refusal and the kernel32 probes, by their log lines.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "manager/manager.h"
#include "platform/fake/fake_platform.h"

namespace qz {
namespace {

using fake::FakeMachine;
using Lines = std::vector<std::string>;

// What a machine reports: version record, and what kernel32 answers.
struct System {
  const char* name;
  port::DWORD major, minor;
  std::uint8_t productType;
  bool wow64, vista;
  port::DWORD platform = 2;
  bool hasIsWow64 = true;
};

const System kWin2000{"2000", 5, 0, 1, false, false, 2, false};
const System kXp32{"XP", 5, 1, 1, false, false};
const System kXp64{"XP x64", 5, 2, 1, true, false};
const System kServer32{"2003", 5, 2, 3, false, false};
const System kServer64{"2003 x64", 5, 2, 3, true, false};
const System kVista32{"Vista", 6, 0, 1, false, true};
const System kVista64{"Vista x64", 6, 0, 1, true, true};
const System kWin7_64{"7 x64", 6, 1, 1, true, true};
const System kWin10_32{"10 (as 6.2)", 6, 2, 1, false, true};
const System kWin98{"98", 4, 10, 0, false, false, 1, false};

const char kXp32Text[] = "Windows XP (32bit)";
const char kXp64Text[] = "Windows XP (64bit)";
const char kServer64Text[] = "Windows Server 2003 (64bit)";

class OsCheckTest : public ::testing::Test {
 protected:
  // A new machine and no manager; the old manager goes first, as its
  // destructor writes to the old machine's log.
  void Fresh() {
    manager.reset();
    machine = std::make_unique<FakeMachine>();
  }
  void Use(const System& s) {
    FakeMachine& m = *machine;
    m.system.version = {284, s.major, s.minor, 0, s.platform, s.productType};
    auto& kernel32 = m.modules.modules[L"kernel32.dll"];
    kernel32.exports.clear();
    if (s.hasIsWow64) kernel32.exports.insert("IsWow64Process");
    if (s.vista) kernel32.exports.insert("GetLocaleInfoEx");
    kernel32.wow64 = s.wow64;
  }
  CVRNManager& Manager(const std::vector<std::string>& osList) {
    manager = std::make_unique<CVRNManager>(machine->os);
    for (const auto& entry : osList) manager->m_osList.push_back(fake::W(entry));
    return *manager;
  }
  std::unique_ptr<FakeMachine> machine = std::make_unique<FakeMachine>();
  std::unique_ptr<CVRNManager> manager;
};

std::string CheckOsLine(const std::string& text, const char* status = "Info") {
  return "CVRNManager:CheckOS  " + text + "  " + status;
}

TEST_F(OsCheckTest, IsSupportedOSAcceptsOnlyNtAndLogsEachOutcome) {
  Use(kXp32);
  EXPECT_TRUE(Manager({}).IsSupportedOS());
  EXPECT_EQ(machine->LogLines(),
            (Lines{"CVRNManager  IsSupportedOS  Started", "CVRNManager  IsSupportedOS  Ended"}));

  for (port::DWORD platform : {0u, 1u}) {  // Win32s, Windows 95/98/ME
    FakeMachine fresh;
    fresh.system.version.platformId = platform;
    EXPECT_FALSE(CVRNManager(fresh.os).IsSupportedOS());
    EXPECT_EQ(fresh.LogLines(), (Lines{"CVRNManager  IsSupportedOS  Started",
                                       "CVRNManager:IsSupportedOS  Windows ME/98/95  not supported",
                                       "CVRNManager  ~CVRNManager  Started"}));
  }

  FakeMachine refused;
  refused.system.versionQueryFails = true;
  EXPECT_FALSE(CVRNManager(refused.os).IsSupportedOS());
  EXPECT_EQ(refused.LogLines()[1], "CVRNManager:IsSupportedOS  GetVersionEx failed  Error");

  // A system that knows only the basic record still answers.
  FakeMachine old;
  old.system.extendedRecordRejected = true;
  EXPECT_TRUE(CVRNManager(old.os).IsSupportedOS());
  EXPECT_EQ(old.LogLines()[1], "CVRNManager  IsSupportedOS  Ended");
}

TEST_F(OsCheckTest, FullLogOfAPassAndOfARefusal) {
  Use(kXp32);
  EXPECT_TRUE(Manager({kXp32Text}).CheckOS());
  EXPECT_EQ(machine->LogLines(),
            (Lines{"CVRNManager  CheckOS  Started",
                   CheckOsLine("Local OSVersion = Major Version = 5, Minor Version = 1"),
                   CheckOsLine("Supports Windows XP 32 Bit OS in config"),
                   CheckOsLine("Not a Wow64 Process"), CheckOsLine("Not a Vista OS"),
                   CheckOsLine("Platform is VER_PLATFORM_WIN32_NT"),
                   CheckOsLine("This patch is updated for Windows XP 32 Bit")}));
  EXPECT_EQ(machine->modules.LoadedNow(), 0u);
  EXPECT_EQ(machine->modules.loaded.size(), 2u);  // one load per probe

  Fresh();
  Use(kVista64);
  EXPECT_FALSE(Manager({"Windows Vista (32bit)", "Windows 2000"}).CheckOS());
  EXPECT_EQ(machine->LogLines(),
            (Lines{"CVRNManager  CheckOS  Started",
                   CheckOsLine("Local OSVersion = Major Version = 6, Minor Version = 0"),
                   CheckOsLine("Supports Windows Vista 32 Bit OS in config"),
                   CheckOsLine("Supports Windows 2000 OS in config"),
                   "CVRNManager:QZIsWow64Process  Running under Wow64Process  Info",
                   "CVRNManager:QZIsVistaOS  This OS is greater than or equal to "
                   "Vista OS. GetLocaleInfoEx found  Info",
                   CheckOsLine("Platform is VER_PLATFORM_WIN32_NT"),
                   CheckOsLine("Check OS Failed. Not matched", "Failed")}));
  EXPECT_EQ(machine->modules.LoadedNow(), 0u);
}

TEST_F(OsCheckTest, EachRowAcceptsExactlyItsSystems) {
  struct Row {
    const char* text;
    const char* updated;
    std::vector<const System*> accepts;
  };
  const std::vector<const System*> all = {&kWin2000, &kXp32,    &kXp64,    &kServer32, &kServer64,
                                          &kVista32, &kVista64, &kWin7_64, &kWin10_32};
  const std::vector<Row> rows = {
      {"Windows 2000", "Windows 2000", {&kWin2000}},
      {kXp32Text, "Windows XP 32 Bit", {&kXp32}},
      {kXp64Text, "Windows XP 64 Bit", {&kXp64}},
      {"Windows Server 2003 (32bit)", "Windows Server 2003 32 Bit", {&kServer32}},
      {kServer64Text, "Windows Server 2003 64 Bit", {&kXp64, &kServer64}},
      {"Windows Vista (32bit)", "Windows Vista 32 Bit", {&kVista32, &kWin10_32}},
      {"Windows Vista (64bit)", "Windows Vista 64 Bit", {&kVista64, &kWin7_64}},
  };
  for (const Row& row : rows) {
    for (const System* s : all) {
      Fresh();
      Use(*s);
      bool accepted = false;
      for (const System* a : row.accepts) accepted |= a == s;
      EXPECT_EQ(Manager({row.text}).CheckOS(), accepted) << row.text << " on " << s->name;
      manager.reset();
      const Lines lines = machine->LogLines();
      ASSERT_GE(lines.size(), 2u);
      EXPECT_EQ(lines[lines.size() - 2],
                accepted ? CheckOsLine(std::string("This patch is updated for ") + row.updated)
                         : CheckOsLine("Check OS Failed. Not matched", "Failed"))
          << row.text << " on " << s->name;
      EXPECT_EQ(machine->modules.LoadedNow(), 0u);
    }
  }
}

TEST_F(OsCheckTest, EmptyListPassesWithoutLookingAtThePlatform) {
  Use(kWin98);
  EXPECT_TRUE(Manager({}).CheckOS());
  EXPECT_EQ(machine->LogLines(),
            (Lines{"CVRNManager  CheckOS  Started",
                   CheckOsLine("Local OSVersion = Major Version = 4, Minor Version = 10"),
                   CheckOsLine("Supports all OS from Windows 2000 onwards")}));
  EXPECT_TRUE(machine->modules.loaded.empty());
}

TEST_F(OsCheckTest, Windows9xIsRefusedOnceTheListIsRead) {
  Use(kWin98);
  EXPECT_FALSE(Manager({"Windows 2000"}).CheckOS());
  const Lines lines = machine->LogLines();
  EXPECT_EQ(lines.back(), CheckOsLine("Platform is not VER_PLATFORM_WIN32_NT", "Failed"));
  EXPECT_EQ(lines[lines.size() - 2], CheckOsLine("Not a Vista OS"));
}

TEST_F(OsCheckTest, ListTextsMatchWholeAndIgnoringCaseOnly) {
  Use(kXp32);
  EXPECT_TRUE(Manager({"wINDOWS xp (32BIT)"}).CheckOS());
  EXPECT_EQ(machine->LogLines()[2], CheckOsLine("Supports Windows XP 32 Bit OS in config"));

  for (const char* near : {"Windows XP", "Windows XP (32bit) ", " Windows XP (32bit)",
                           "Windows  XP (32bit)", "Windows XP (32 bit)", ""}) {
    FakeMachine fresh;
    CVRNManager other(fresh.os);
    other.m_osList.push_back(fake::W(near));
    EXPECT_FALSE(other.CheckOS()) << '"' << near << '"';
    const Lines lines = fresh.LogLines();
    EXPECT_EQ(lines[2], CheckOsLine("Not a Wow64 Process")) << near;  // no Supports entry
    EXPECT_EQ(lines.back(), CheckOsLine("Check OS Failed. Not matched", "Failed"));
  }
}

TEST_F(OsCheckTest, RepeatedEntriesAreLoggedAgainAndTheFirstTableRowWins) {
  Use(kXp64);
  // The XP row is tested before the Server 2003 one whatever the list order.
  EXPECT_TRUE(Manager({kServer64Text, kXp64Text, kServer64Text}).CheckOS());
  const Lines lines = machine->LogLines();
  EXPECT_EQ(Lines(lines.begin() + 2, lines.begin() + 5),
            (Lines{CheckOsLine("Supports Windows Server 2003 64 Bit OS in config"),
                   CheckOsLine("Supports Windows XP 64 Bit OS in config"),
                   CheckOsLine("Supports Windows Server 2003 64 Bit OS in config")}));
  EXPECT_EQ(lines.back(), CheckOsLine("This patch is updated for Windows XP 64 Bit"));
}

TEST_F(OsCheckTest, BasicRecordLeavesProductType0SoXp64NeverPasses) {
  Use(kXp64);
  machine->system.extendedRecordRejected = true;
  EXPECT_FALSE(Manager({kXp64Text}).CheckOS());
  EXPECT_EQ(machine->LogLines()[1],
            CheckOsLine("Local OSVersion = Major Version = 5, Minor Version = 2"));
  EXPECT_EQ(machine->LogLines().back(), CheckOsLine("Check OS Failed. Not matched", "Failed"));

  Fresh();
  Use(kXp64);
  machine->system.extendedRecordRejected = true;
  EXPECT_TRUE(Manager({kXp64Text, kServer64Text}).CheckOS());
  EXPECT_EQ(machine->LogLines().back(),
            CheckOsLine("This patch is updated for Windows Server 2003 64 Bit"));
}

TEST_F(OsCheckTest, RefusedVersionQueryEndsCheckOSSilently) {
  machine->system.versionQueryFails = true;
  EXPECT_FALSE(Manager({kXp32Text}).CheckOS());
  EXPECT_EQ(machine->LogLines(), (Lines{"CVRNManager  CheckOS  Started"}));
}

TEST_F(OsCheckTest, ProbesAnswerNoWhenKernel32CannotHelp) {
  // Not loadable: neither WOW64 nor Vista, nothing reported by the probes.
  Use(kVista64);
  machine->modules.modules.clear();
  CVRNManager& probe = Manager({"Windows Vista (64bit)"});
  EXPECT_EQ(probe.QZIsWow64Process(), 0);
  EXPECT_FALSE(probe.QZIsVistaOS());
  EXPECT_FALSE(probe.CheckOS());
  const Lines lines = machine->LogLines();
  EXPECT_EQ(Lines(lines.begin() + 3, lines.end()),
            (Lines{CheckOsLine("Not a Wow64 Process"), CheckOsLine("Not a Vista OS"),
                   CheckOsLine("Platform is VER_PLATFORM_WIN32_NT"),
                   CheckOsLine("Check OS Failed. Not matched", "Failed")}));

  // Windows 2000 lacks IsWow64Process; the library is freed all the same.
  Fresh();
  Use(kWin2000);
  EXPECT_EQ(Manager({}).QZIsWow64Process(), 0);
  EXPECT_EQ(machine->modules.LoadedNow(), 0u);

  Use(kVista64);
  EXPECT_EQ(manager->QZIsWow64Process(), 1);
  EXPECT_TRUE(manager->QZIsVistaOS());
  EXPECT_EQ(machine->modules.LoadedNow(), 0u);
  EXPECT_EQ(machine->modules.loaded, (std::vector<std::wstring>(3, L"kernel32.dll")));
}

}  // namespace
}  // namespace qz
