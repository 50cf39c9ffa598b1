// The scripting-control check and self-registration against a fake
// machine: each missing piece ends the check with its own entry, the
// ProgramFilesDir value is read whole and never past its end, and every
// key and library is released again.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "manager/manager.h"
#include "platform/fake/fake_platform.h"

namespace qz {
namespace {

using fake::FakeMachine;
using Lines = std::vector<std::string>;

constexpr wchar_t kVersionKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr wchar_t kProgId[] = L"QZKelvaDiags.QZRegUtil";
constexpr wchar_t kTarget[] = L"C:\\Program Files\\QZ\\temp\\VRNU\\qzkdiag.dll";
const std::string kStarted = "CVRNManager  CheckControl  Started";

class ControlCheckTest : public ::testing::Test {
 protected:
  ControlCheckTest() {
    m.files.AddFile(L"C:\\patch\\qzkdiag.dll", "control v2");
    m.files.AddFolder(L"C:\\Program Files");
    m.registry.SetString(kVersionKey, L"ProgramFilesDir", L"C:\\Program Files");
    Control(kTarget);
  }
  // A loadable control at `path` whose registration makes the class creatable.
  fake::FakeModules::Module& Control(const std::wstring& path) {
    auto& module = m.modules.modules[fake::Fold(path)];
    module.exports = {"DllRegisterServer"};
    module.onRegister = [this] { m.com.Register(kProgId); };
    return module;
  }
  // The full, successful check for a control that lands at `target`.
  static Lines Registered(const std::string& target) {
    return {kStarted,
            "CVRNManager:CheckControl  qzkdiag.dll Copied:  Successfully",
            "CVRNManager  RegisterDll  Started",
            "CVRNManager:RegisterDll  " + target + "  : Registered",
            "CVRNManager  RegisterDll  Ended",
            "CVRNManager  CheckControl  Ended"};
  }
  Lines Tail(std::size_t n) const {
    const auto lines = m.LogLines();
    return Lines(lines.end() - static_cast<std::ptrdiff_t>(std::min(n, lines.size())), lines.end());
  }
  void ExpectNothingHeld() {
    EXPECT_EQ(m.registry.OpenKeys(), 0u);
    EXPECT_EQ(m.modules.LoadedNow(), 0u);
  }

  FakeMachine m;
  CVRNManager manager{m.os};
};

TEST_F(ControlCheckTest, UnregisteredControlIsCopiedAndRegisteredOnce) {
  manager.CheckControl();
  EXPECT_EQ(m.LogLines(), Registered(fake::Narrow(kTarget)));
  EXPECT_EQ(m.files.createdDirectories,
            (std::vector<std::wstring>{L"C:\\Program Files\\QZ", L"C:\\Program Files\\QZ\\temp",
                                       L"C:\\Program Files\\QZ\\temp\\VRNU"}));
  EXPECT_EQ(m.files.Contents(kTarget), "control v2");
  ExpectNothingHeld();

  // The next rule finds the class creatable: only the Started entry.
  manager.CheckControl();
  EXPECT_EQ(m.LogLines().size(), 7u);
  EXPECT_EQ(m.LogLines().back(), kStarted);
  EXPECT_EQ(m.files.copies.size(), 1u);
}

TEST_F(ControlCheckTest, ProgIdThatResolvesButCannotBeCreatedStillRegisters) {
  m.com.Register(kProgId, false);
  manager.CheckControl();
  EXPECT_EQ(m.LogLines(), Registered(fake::Narrow(kTarget)));
}

TEST_F(ControlCheckTest, ExistingFoldersAndControlAreReusedAndReplaced) {
  m.files.AddFile(kTarget, "control v1");
  manager.CheckControl();
  EXPECT_EQ(m.LogLines(), Registered(fake::Narrow(kTarget)));
  EXPECT_TRUE(m.files.createdDirectories.empty());
  EXPECT_EQ(m.files.Contents(kTarget), "control v2");
}

TEST_F(ControlCheckTest, MissingPiecesEndTheCheckWithTheirEntry) {
  struct Case {
    const char* name;
    std::function<void(FakeMachine&)> arrange;
    Lines after;  // entries after the Started one
  };
  const std::vector<Case> cases = {
      {"no control beside the manager",
       [](FakeMachine& x) { x.files.entries.erase(fake::Fold(L"C:\\patch\\qzkdiag.dll")); },
       {"CVRNManager:CheckControl  qzkdiag.dll:  not found"}},
      {"no version key",
       [](FakeMachine& x) { x.registry.keys.clear(); },
       {"CVRNManager:CheckControl  registry key:  not found",
        "CVRNManager:CheckControl  registry sub key:  not found"}},
      {"no ProgramFilesDir",
       [](FakeMachine& x) { x.registry.keys[fake::Fold(kVersionKey)].clear(); },
       {"CVRNManager:CheckControl  registry sub key:  not found"}},
      {"ProgramFilesDir not a string",
       [](FakeMachine& x) {
         x.registry.SetValue(kVersionKey, L"ProgramFilesDir", {port::kRegDword, {1, 0, 0, 0}});
       },
       {"CVRNManager:CheckControl  registry sub key:  not found"}},
      {"ProgramFilesDir empty",
       [](FakeMachine& x) { x.registry.SetString(kVersionKey, L"ProgramFilesDir", L""); },
       {"CVRNManager:CheckControl  registry sub key:  not found"}},
  };
  for (const auto& c : cases) {
    FakeMachine x;
    x.files.AddFile(L"C:\\patch\\qzkdiag.dll", "control");
    x.registry.SetString(kVersionKey, L"ProgramFilesDir", L"C:\\Program Files");
    c.arrange(x);
    {
      CVRNManager checker(x.os);
      checker.CheckControl();
      Lines expected{kStarted};
      expected.insert(expected.end(), c.after.begin(), c.after.end());
      EXPECT_EQ(x.LogLines(), expected) << c.name;
    }
    EXPECT_TRUE(x.files.createdDirectories.empty()) << c.name;
    EXPECT_TRUE(x.files.copies.empty()) << c.name;
    EXPECT_TRUE(x.modules.loaded.empty()) << c.name;
    EXPECT_EQ(x.registry.OpenKeys(), 0u) << c.name;
  }
}

TEST_F(ControlCheckTest, ProgramFilesDirIsReadWholeAndNeverPastItsEnd) {
  struct Case {
    std::wstring value;
    bool terminated;
  };
  const std::wstring longDir = L"D:\\" + std::wstring(200, L'L');  // 406 bytes
  const std::wstring fits = L"D:\\" + std::wstring(124, L'F');     // 254 bytes bare
  for (const Case& c : {Case{longDir, true}, Case{longDir, false}, Case{fits, false},
                        Case{L"E:\\Programme", false}}) {
    FakeMachine x;
    x.files.AddFile(L"C:\\patch\\qzkdiag.dll", "control");
    x.files.AddFolder(c.value);
    x.registry.SetString(kVersionKey, L"ProgramFilesDir", c.value, c.terminated);
    const std::wstring target = c.value + L"\\QZ\\temp\\VRNU\\qzkdiag.dll";
    x.modules.modules[fake::Fold(target)].exports = {"DllRegisterServer"};
    {
      CVRNManager checker(x.os);
      checker.CheckControl();
      EXPECT_EQ(x.LogLines(), Registered(fake::Narrow(target))) << c.value.size();
    }
    EXPECT_EQ(x.files.Contents(target), "control") << c.value.size();
    EXPECT_EQ(x.registry.OpenKeys(), 0u);
  }
}

TEST_F(ControlCheckTest, ValueEndingInABackslashIsJoinedWithOne) {
  m.registry.SetString(kVersionKey, L"ProgramFilesDir", L"C:\\");
  Control(L"C:\\QZ\\temp\\VRNU\\qzkdiag.dll");
  manager.CheckControl();
  EXPECT_EQ(m.files.createdDirectories.front(), L"C:\\QZ");
  EXPECT_EQ(m.LogLines(), Registered("C:\\QZ\\temp\\VRNU\\qzkdiag.dll"));
}

TEST_F(ControlCheckTest, FailedCopyStillRegistersWhatIsThere) {
  m.files.AddFile(kTarget, "held open");
  m.files.Find(kTarget)->locked = true;
  manager.CheckControl();
  const auto lines = m.LogLines();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[1], "CVRNManager:CheckControl  qzkdiag.dll Copy:  Failed");
  EXPECT_EQ(lines[3], "CVRNManager:RegisterDll  " + fake::Narrow(kTarget) + "  : Registered");
  EXPECT_EQ(m.files.Contents(kTarget), "held open");
}

TEST_F(ControlCheckTest, RegisterDllOutcomes) {
  const std::wstring path = L"C:\\x\\ctl.dll";
  const std::string started = "CVRNManager  RegisterDll  Started";
  const std::string ended = "CVRNManager  RegisterDll  Ended";
  const std::string notFound = "CVRNManager:RegisterDll  Could not find DLLRegisterServer  Error";

  // Not loadable.
  EXPECT_FALSE(manager.RegisterDll(path));
  EXPECT_EQ(m.LogLines(), (Lines{started, notFound, ended}));

  // Loadable, without the export.
  m.modules.modules[fake::Fold(path)].exports = {"DllGetClassObject"};
  EXPECT_FALSE(manager.RegisterDll(path));
  EXPECT_EQ(Tail(3), (Lines{started, notFound, ended}));
  ExpectNothingHeld();

  // Registration that fails.
  m.modules.modules[fake::Fold(path)].exports = {"DllRegisterServer"};
  m.modules.modules[fake::Fold(path)].registerResult = static_cast<port::HRESULT>(0x80070005u);
  EXPECT_FALSE(manager.RegisterDll(path));
  EXPECT_EQ(Tail(2).front(), "CVRNManager:RegisterDll  C:\\x\\ctl.dll  : Error while Registering");
  ExpectNothingHeld();

  // S_FALSE is not negative: registered.
  m.modules.modules[fake::Fold(path)].registerResult = 1;
  EXPECT_TRUE(manager.RegisterDll(path));

  // An exception inside the registration: logged, no Ended, library freed.
  m.modules.modules[fake::Fold(path)].onRegister = [] { throw std::runtime_error("x"); };
  EXPECT_FALSE(manager.RegisterDll(path));
  EXPECT_EQ(Tail(2), (Lines{started, "CVRNManager:RegisterDll  Exception occured  Error"}));
  ExpectNothingHeld();
}

}  // namespace
}  // namespace qz
