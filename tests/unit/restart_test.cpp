// Restart handling against the fakes, where pressing "Restart Now" and a
// forced reboot cannot end anything: every flag and answer, the dialog's
// texts, and the privilege failures of ShutDown.
#include <gtest/gtest.h>

#include "manager/manager.h"
#include "platform/fake/fake_platform.h"

namespace qz {
namespace {

using fake::FakeMachine;
using Lines = std::vector<std::string>;

const std::pair<unsigned, port::DWORD> kRestart{6, 0x80020003u};
const std::string kShutdownStarted = "CVRNManager  ShutDown  Started";

struct Rig {
  Rig() {
    for (unsigned id : {2u, 6u, 7u})
      m.resources.SetString(1024, id, L"text " + std::to_wstring(id));
    g_pManager = &manager;
  }
  ~Rig() { g_pManager = nullptr; }
  Lines Log() const {
    Lines log = m.LogLines();
    log.erase(log.begin(), log.begin() + 1);  // SystemShutdown's Started entry
    return log;
  }
  FakeMachine m;
  CVRNManager manager{m.os};
};

TEST(SystemShutdown, EachFlagAndAnswer) {
  struct Case {
    const char* name;
    int flag;
    bool silent;
    std::optional<int> press;  // nullopt: the close box
    int result;
    bool restarted;
    bool dialog;
    std::optional<std::string> returnCode;
    std::string outcome;
  };
  const std::vector<Case> cases = {
      {"no restart needed", 0, false, 1000, 0, false, false, std::nullopt, "Reboot not required"},
      {"restart at once", 2, false, 1000, 1, true, false, std::nullopt, "Force Reboot"},
      {"restart at once, silent", 2, true, 1000, 1, true, false, std::nullopt, "Force Reboot"},
      {"restart now", 1, false, 1000, 1, true, true, std::nullopt, "Restart Now"},
      {"restart later", 1, false, 1001, 0, false, true, "2", "Restart Later"},
      {"close box", 3, false, std::nullopt, 0, false, true, "2", "Restart Later"},
      {"silent", 1, true, 1000, 0, false, false, "2", "Restart Later"},
  };
  for (const Case& c : cases) {
    Rig r;
    r.manager.m_rebootFlag = c.flag;
    r.manager.m_silentMode = c.silent;
    r.m.ui.pressControl = c.press;
    EXPECT_EQ(r.manager.SystemShutdown(), c.result) << c.name;
    EXPECT_EQ(r.m.shutdown.restarts.size(), c.restarted ? 1u : 0u) << c.name;
    if (c.restarted) {
      EXPECT_EQ(r.m.shutdown.restarts[0], kRestart) << c.name;
    }
    EXPECT_EQ(r.m.ui.dialogs.size(), c.dialog ? 1u : 0u) << c.name;
    EXPECT_EQ(r.m.files.Contents(L"C:\\patch\\QZVRN_Returncode.txt"), c.returnCode) << c.name;
    const Lines log = r.Log();
    const std::string entry = "CVRNManager::SystemShutdown  Info  " + c.outcome;
    EXPECT_NE(std::find(log.begin(), log.end(), entry), log.end()) << c.name;
    // Only putting the restart off ends with an Ended entry.
    EXPECT_EQ(log.back() == "CVRNManager  SystemShutdown  Ended", c.returnCode.has_value())
        << c.name;
    EXPECT_EQ(r.m.shutdown.OpenTokens(), 0u) << c.name;
  }
}

TEST(SystemShutdown, DialogShowsTheThreeMessagesUnderCaptionQZ) {
  Rig r;
  r.manager.m_rebootFlag = 1;
  r.manager.SystemShutdown();
  ASSERT_EQ(r.m.ui.dialogs.size(), 1u);
  const auto& d = r.m.ui.dialogs[0];
  EXPECT_EQ(d.templateId, 168u);
  EXPECT_EQ(d.owner, fake::FakeUi::kDesktop);
  EXPECT_EQ(d.caption, L"QZ");
  EXPECT_EQ(d.controls,
            (std::map<int, std::wstring>{{1000, L"text 6"}, {1001, L"text 7"}, {1002, L"text 2"}}));

  // A dialog that cannot be shown leaves the restart pending.
  Rig failing;
  failing.manager.m_rebootFlag = 1;
  failing.m.ui.dialogFails = true;
  EXPECT_EQ(failing.manager.SystemShutdown(), 0);
  EXPECT_EQ(failing.m.files.Contents(L"C:\\patch\\QZVRN_Returncode.txt"), "2");
}

TEST(ShutDown, PrivilegeAndRequestFailures) {
  struct Case {
    const char* name;
    std::function<void(fake::FakeShutdown&)> arrange;
    int result;
    Lines log;
  };
  const std::vector<Case> cases = {
      {"granted",
       [](fake::FakeShutdown&) {},
       1,
       {kShutdownStarted, "CVRNManager  ShutDown  Ended"}},
      {"no token",
       [](fake::FakeShutdown& s) { s.tokenOpens = false; },
       0,
       {kShutdownStarted, "CVRNManager:ShutDown  Getting Process token:  Failed"}},
      {"privilege not held",
       [](fake::FakeShutdown& s) { s.privilegeHeld = false; },
       0,
       {kShutdownStarted, "CVRNManager:ShutDown  Getting token previleges:  Failed"}},
      {"adjustment fails",
       [](fake::FakeShutdown& s) { s.adjustFails = true; },
       0,
       {kShutdownStarted, "CVRNManager:ShutDown  Getting token previleges:  Failed"}},
      {"restart refused",
       [](fake::FakeShutdown& s) { s.exitWindowsRefused = true; },
       0,
       {kShutdownStarted}},
  };
  for (const Case& c : cases) {
    FakeMachine m;
    c.arrange(m.shutdown);
    {
      CVRNManager manager(m.os);
      EXPECT_EQ(manager.ShutDown(), c.result) << c.name;
      EXPECT_EQ(m.LogLines(), c.log) << c.name;
    }
    EXPECT_EQ(m.shutdown.tokenAccess, 0x28u) << c.name;
    EXPECT_EQ(m.shutdown.OpenTokens(), 0u) << c.name;
    EXPECT_EQ(m.shutdown.restarts.size(), c.result ? 1u : 0u) << c.name;
  }
  // The outcome is logged after a failed ShutDown all the same, and no
  // return code is written.
  Rig r;
  r.manager.m_rebootFlag = 2;
  r.m.shutdown.tokenOpens = false;
  EXPECT_EQ(r.manager.SystemShutdown(), 0);
  EXPECT_EQ(r.Log().back(), "CVRNManager::SystemShutdown  Info  Force Reboot");
  EXPECT_FALSE(r.m.files.Exists(L"C:\\patch\\QZVRN_Returncode.txt"));
}

}  // namespace
}  // namespace qz
