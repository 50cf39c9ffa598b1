// The driver patch's languages, restart dialog, restart and return-code
// file against the fakes.
#include <gtest/gtest.h>

#include "driverpatch/driver_patch.h"
#include "platform/fake/driver_patch_fakes.h"

namespace qz::driverpatch {
namespace {

using fake::FakeDriverPatchMachine;
using Calls = std::vector<std::string>;

TEST(DriverPatchMessages, LanguageComesFromTheSystemDefault) {
  const std::pair<port::LANGID, port::LANGID> rows[] = {
      {0x0401, 1025}, {0x0C01, 1025}, {0x0404, 1028}, {0x0804, 2052},
      {0x1004, 1028},  // Singapore reads Traditional
      {0x0C04, 1028}, {0x0407, 1031}, {0x0807, 1031}, {0x0C0A, 1034},
      {0x040C, 1036}, {0x0410, 1040}, {0x0413, 1043}, {0x0814, 1044},
      {0x0816, 1046}, {0x041D, 1053}, {0x0409, 0},    {0x0411, 0},
      {0x0419, 0},    {0x0405, 0},
  };
  for (const auto& [system, table] : rows) {
    FakeDriverPatchMachine m;
    DriverPatch run{m.os};
    m.system.systemLanguage = system;
    m.system.userUiLanguage = 0x0409;
    EXPECT_EQ(GetMessageLanguage(run), table) << std::hex << system;
  }
}

TEST(DriverPatchMessages, BoxHasNoOwnerTheCaptionQzAndOkOnly) {
  FakeDriverPatchMachine m;
  DriverPatch run{m.os};
  m.system.systemLanguage = 0x0407;
  m.resources.SetString(1031, 9, L"de9");
  DisplayMessage(run, 9);
  m.resources.plainStrings[1] = L"plain1";
  DisplayMessage(run, 1);  // no German 1: the platform's own choice
  ASSERT_EQ(m.ui.boxes.size(), 2u);
  EXPECT_EQ(m.ui.boxes[0].owner, 0u);
  EXPECT_EQ(m.ui.boxes[0].text, L"de9");
  EXPECT_EQ(m.ui.boxes[0].caption, L"QZ");
  EXPECT_EQ(m.ui.boxes[0].style, 0u);
  EXPECT_EQ(m.ui.boxes[1].text, L"plain1");
  run.state.silent = true;
  DisplayMessage(run, 5);
  EXPECT_EQ(m.ui.boxes.size(), 2u);
}

TEST(DriverPatchRestart, EveryFailedStepEndsWithoutARestart) {
  struct Case {
    const char* what;
    std::function<void(fake::FakeAnsiRestart&)> arrange;
    Calls calls;
  };
  const Calls enabled = {"GetVersionExA", "OpenProcessToken 40",
                         "LookupPrivilegeValueA SeShutdownPrivilege",
                         "AdjustTokenPrivileges 19 2", "ExitWindowsEx", "CloseHandle 2304"};
  const Case cases[] = {
      {"restart", [](auto&) {}, enabled},
      {"restart refused", [](auto& r) { r.exitFails = true; }, enabled},
      {"no version", [](auto& r) { r.versionFails = true; }, {"GetVersionExA"}},
      {"not NT: no privileges", [](auto& r) { r.platformId = 1; },
       {"GetVersionExA", "ExitWindowsEx"}},
      {"no token", [](auto& r) { r.tokenFails = true; },
       {"GetVersionExA", "OpenProcessToken 40"}},
      {"no privilege", [](auto& r) { r.lookupFails = true; },
       {"GetVersionExA", "OpenProcessToken 40",
        "LookupPrivilegeValueA SeShutdownPrivilege", "CloseHandle 2304"}},
      {"null token", [](auto& r) { r.token = 0; },
       {"GetVersionExA", "OpenProcessToken 40",
        "LookupPrivilegeValueA SeShutdownPrivilege"}},
      {"not adjusted", [](auto& r) { r.adjustFails = true; },
       {"GetVersionExA", "OpenProcessToken 40",
        "LookupPrivilegeValueA SeShutdownPrivilege", "AdjustTokenPrivileges 19 2",
        "CloseHandle 2304"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeDriverPatchMachine m;
    DriverPatch run{m.os};
    c.arrange(m.restart);
    RestartMachine(run);
    EXPECT_EQ(m.restart.calls, c.calls);
    for (const auto& [flags, reason] : m.restart.exits) {
      EXPECT_EQ(flags, 6u);
      EXPECT_EQ(reason, 0x80040001u);
    }
  }
}

// A silent or interactive run that ends in the deferred replacement, from
// a current directory other than the program's.
struct DeferredRun : ::testing::Test {
  DeferredRun() {
    m.files.Find(fake::W(FakeDriverPatchMachine::kServicePath))->locked = true;
    m.files.currentDirectory = L"C:\\elsewhere";
    m.files.AddFile(L"C:\\patch\\QZVRN_Returncode.txt", "old text");
  }
  std::optional<std::string> ReturnCode() {
    return m.files.Contents(L"C:\\patch\\QZVRN_Returncode.txt");
  }
  FakeDriverPatchMachine m;
  DriverPatch run{m.os};
};

TEST_F(DeferredRun, SilentRunReplacesTheReturnCodeFileBesideTheProgram) {
  EXPECT_EQ(RunDriverPatch(run, "/silent"), 0);
  EXPECT_EQ(ReturnCode(), "2");
  EXPECT_EQ(m.dialogs.shown, 0);
  EXPECT_TRUE(m.ui.boxes.empty());
}

TEST_F(DeferredRun, DialogIsLabelledAndItsButtonsDecide) {
  m.dialogs.press = 1;  // Restart Now
  EXPECT_EQ(RunDriverPatch(run, ""), 0);
  EXPECT_EQ(m.dialogs.Label(0), L"en5");
  EXPECT_EQ(m.dialogs.Label(1003), L"en2");
  EXPECT_EQ(m.dialogs.Label(1), L"en6");
  EXPECT_EQ(m.dialogs.Label(2), L"en7");
  EXPECT_EQ(m.dialogs.ended, (std::vector<std::intptr_t>{0}));
  EXPECT_EQ(m.restart.exits.size(), 1u);
  EXPECT_EQ(ReturnCode(), "old text");

  FakeDriverPatchMachine other;
  other.files.Find(fake::W(FakeDriverPatchMachine::kServicePath))->locked = true;
  other.dialogs.press = 1000;  // any other command: only the end
  DriverPatch r{other.os};
  EXPECT_EQ(RunDriverPatch(r, ""), 0);
  EXPECT_TRUE(other.restart.calls.empty());
  EXPECT_FALSE(other.files.Exists(L"C:\\patch\\QZVRN_Returncode.txt"));
}

TEST_F(DeferredRun, MissingControlEndsTheLabellingButNotTheDialog) {
  m.dialogs.missingControls = {1003};
  m.dialogs.press = 2;
  EXPECT_EQ(RunDriverPatch(run, ""), 0);
  EXPECT_EQ(m.dialogs.Label(0), L"en5");
  EXPECT_EQ(m.dialogs.Label(1), L"");
  EXPECT_EQ(ReturnCode(), "2");
}

TEST(DriverPatchEntry, HelperLibraryGatesOnlyWhenItAnswersZero) {
  struct Case {
    std::map<std::string, int> exports;
    bool present;
    int exitCode;
  };
  const Case cases[] = {
      {{{"IsCurrentUserLocalAdministrator", 0}}, true, -1},
      {{{"IsCurrentUserLocalAdministrator", 7}}, true, 0},
      {{{"SomethingElse", 0}}, true, 0},
      {{}, false, 0},
  };
  for (const Case& c : cases) {
    FakeDriverPatchMachine m;
    DriverPatch run{m.os};
    if (c.present) m.shell.libraries["C:\\patch\\txlsvchlp.dll"] = c.exports;
    m.services.services.clear();  // past the gate: message 1
    EXPECT_EQ(RunDriverPatch(run, ""), c.exitCode);
    ASSERT_EQ(m.ui.boxes.size(), 1u);
    EXPECT_EQ(m.ui.boxes[0].text, c.exitCode == -1 ? L"en9" : L"en1");
    EXPECT_EQ(m.debug.lines.size(), c.exitCode == -1 ? 1u : 3u);
  }
}

}  // namespace
}  // namespace qz::driverpatch
