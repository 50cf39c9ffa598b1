// The driver patch's languages, restart dialog, restart and return-code
// file against the fakes.
#include <gtest/gtest.h>

#include "driverpatch/driver_patch.h"
#include "tests/unit/driver_patch_fakes.h"

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
  EXPECT_EQ(m.ui.boxes[0].owner, port::WindowHandle{});
  EXPECT_EQ(m.ui.boxes[0].text, L"de9");
  EXPECT_EQ(m.ui.boxes[0].caption, L"QZ");
  EXPECT_EQ(m.ui.boxes[0].style, 0u);
  EXPECT_EQ(m.ui.boxes[1].text, L"plain1");
  run.state.silent = true;
  DisplayMessage(run, 5);
  EXPECT_EQ(m.ui.boxes.size(), 2u);
}

// The shutdown fake with the two failures it does not act out itself.
class RestartFake : public fake::FakeShutdown {
 public:
  bool lookupFails = false;
  bool nullToken = false;
  std::vector<std::string> calls;
  port::Result<port::TokenHandle> OpenProcessToken(port::DWORD access) override {
    calls.push_back("OpenProcessToken " + std::to_string(access));
    port::Result<port::TokenHandle> opened = FakeShutdown::OpenProcessToken(access);
    if (opened && nullToken) {
      FakeShutdown::CloseHandle(opened.value);
      opened.value = {};
    }
    return opened;
  }
  port::Result<port::Luid> LookupPrivilegeValueW(const std::wstring& name) override {
    calls.push_back("LookupPrivilegeValueW");
    const port::Result<port::Luid> luid = FakeShutdown::LookupPrivilegeValueW(name);
    return lookupFails ? port::Result<port::Luid>::Failed(1313) : luid;
  }
  port::Result<port::DWORD> AdjustTokenPrivileges(port::TokenHandle token, port::Luid luid,
                                                  port::DWORD attributes) override {
    calls.push_back("AdjustTokenPrivileges");
    return FakeShutdown::AdjustTokenPrivileges(token, luid, attributes);
  }
};

TEST(DriverPatchRestart, EveryFailedStepEndsWithoutARestart) {
  struct Case {
    const char* what;
    std::function<void(FakeDriverPatchMachine&, RestartFake&)> arrange;
    Calls calls;
    bool restarted;
  };
  const Calls all = {"OpenProcessToken 40", "LookupPrivilegeValueW", "AdjustTokenPrivileges"};
  const Case cases[] = {
      {"restart", [](auto&, auto&) {}, all, true},
      // Assigned only in part: still asked for, Windows decides.
      {"privilege not held", [](auto&, auto& r) { r.privilegeHeld = false; }, all, true},
      {"restart refused", [](auto&, auto& r) { r.exitWindowsRefused = true; }, all, false},
      {"no version", [](auto& m, auto&) { m.system.versionQueryFails = true; }, {}, false},
      {"not NT: no privileges", [](auto& m, auto&) { m.system.version.platformId = 1; }, {}, true},
      {"no token", [](auto&, auto& r) { r.tokenOpens = false; }, {"OpenProcessToken 40"}, false},
      {"no privilege",
       [](auto&, auto& r) { r.lookupFails = true; },
       {"OpenProcessToken 40", "LookupPrivilegeValueW"},
       false},
      {"null token",
       [](auto&, auto& r) { r.nullToken = true; },
       {"OpenProcessToken 40", "LookupPrivilegeValueW"},
       false},
      {"not adjusted", [](auto&, auto& r) { r.adjustFails = true; }, all, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeDriverPatchMachine m;
    RestartFake shutdown;
    driverpatch::DriverPatchPlatform os = m.os;
    DriverPatchPlatform withFake{os.system,   os.files,     os.resources, os.ui,
                                 os.modules,  os.installer, os.shell,     os.services,
                                 os.printers, os.windows,   os.debug,     shutdown};
    DriverPatch run{withFake};
    c.arrange(m, shutdown);
    RestartMachine(run);
    EXPECT_EQ(shutdown.calls, c.calls);
    EXPECT_EQ(shutdown.OpenTokens(), 0u);  // the token is closed again
    if (c.restarted) {
      EXPECT_EQ(shutdown.restarts,
                (std::vector<std::pair<unsigned, port::DWORD>>{{6u, 0x80040001u}}));
    } else {
      EXPECT_TRUE(shutdown.restarts.empty());
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
  EXPECT_TRUE(m.ui.dialogs.empty());
  EXPECT_TRUE(m.ui.boxes.empty());
}

TEST_F(DeferredRun, DialogIsLabelledAndItsButtonsDecide) {
  m.ui.pressControl = 1;  // Restart Now
  EXPECT_EQ(RunDriverPatch(run, ""), 0);
  ASSERT_EQ(m.ui.dialogs.size(), 1u);
  const auto& dialog = m.ui.dialogs[0];
  EXPECT_EQ(dialog.templateId, 168u);
  EXPECT_EQ(dialog.owner, port::WindowHandle{});
  EXPECT_EQ(dialog.caption, L"en5");
  EXPECT_EQ(dialog.controls,
            (std::map<int, std::wstring>{{1003, L"en2"}, {1, L"en6"}, {2, L"en7"}}));
  EXPECT_EQ(m.shutdown.restarts.size(), 1u);
  EXPECT_EQ(ReturnCode(), "old text");

  FakeDriverPatchMachine other;
  other.files.Find(fake::W(FakeDriverPatchMachine::kServicePath))->locked = true;
  other.ui.pressControl = 1000;  // any other command: only the end
  DriverPatch r{other.os};
  EXPECT_EQ(RunDriverPatch(r, ""), 0);
  EXPECT_TRUE(other.shutdown.restarts.empty());
  EXPECT_FALSE(other.files.Exists(L"C:\\patch\\QZVRN_Returncode.txt"));
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
    if (c.present) m.modules.librariesA["C:\\patch\\txlsvchlp.dll"] = c.exports;
    m.services.services.clear();  // past the gate: message 1
    EXPECT_EQ(RunDriverPatch(run, ""), c.exitCode);
    ASSERT_EQ(m.ui.boxes.size(), 1u);
    EXPECT_EQ(m.ui.boxes[0].text, c.exitCode == -1 ? L"en9" : L"en1");
    EXPECT_EQ(m.debug.lines.size(), c.exitCode == -1 ? 1u : 3u);
  }
}

}  // namespace
}  // namespace qz::driverpatch
