// Install paths from the registry and the source check against a fake
// machine: each registry shape a product may leave, the order in which
// locations and entries are tried, and the patch file names refused.
#include <gtest/gtest.h>

#include <stdexcept>

#include "manager/manager.h"
#include "platform/fake/fake_platform.h"

namespace qz {
namespace {

using fake::FakeMachine;
using Lines = std::vector<std::string>;

constexpr wchar_t kKey[] = L"SOFTWARE\\QZ\\Driver";
const std::string kStarted = "CVRNManager  ReturnRegistryPath  Started";
const std::string kSource = "CVRNManager:ReturnRegistryPath  ";

UpdateEntry FileEntry(const std::wstring& name, std::vector<RegistryLocation> locations) {
  UpdateEntry e;
  e.fileName = name;
  e.registryLocations = std::move(locations);
  return e;
}

TEST(ReturnRegistryPath, EachRegistryShapeGivesItsPathAndEntries) {
  struct Case {
    const char* name;
    std::function<void(FakeMachine&)> arrange;
    std::wstring relative;
    bool result;
    std::wstring path;  // what the in/out path holds afterwards ("old" when unchanged)
    Lines log;
  };
  const auto folder = [](const std::wstring& data, bool terminate = true) {
    return [=](FakeMachine& m) { m.registry.SetString(kKey, L"Dir", data, terminate); };
  };
  const std::vector<Case> cases = {
      {"key absent",
       [](FakeMachine&) {},
       L"",
       false,
       L"old",
       {kStarted, kSource + "Registry Key:  Absent"}},
      {"value absent",
       [](FakeMachine& m) { m.registry.AddKey(kKey); },
       L"",
       false,
       L"old",
       {kStarted, kSource + "SOFTWARE\\QZ\\Driver  Dir", kSource + "Registry Sub Key:  Absent",
        kSource + "Destination instal path:  not found"}},
      {"folder",
       folder(L"C:\\Prod"),
       L"",
       true,
       L"C:\\Prod",
       {kStarted, kSource + "Destination patch Path:  C:\\Prod",
        "CVRNManager  ReturnRegistryPath  Ended"}},
      {"unterminated value is read to its end only",
       folder(L"C:\\Prod", false),
       L"bin",
       true,
       L"C:\\Prod\\bin",
       {kStarted, kSource + "Destination patch Path:  C:\\Prod\\bin",
        "CVRNManager  ReturnRegistryPath  Ended"}},
      {"trailing backslash joins once",
       folder(L"C:\\Prod\\"),
       L"bin",
       true,
       L"C:\\Prod\\bin",
       {kStarted, kSource + "Destination patch Path:  C:\\Prod\\bin",
        "CVRNManager  ReturnRegistryPath  Ended"}},
      {"folder missing",
       folder(L"C:\\Gone"),
       L"",
       false,
       L"C:\\Gone",
       {kStarted, kSource + "Destination patch Path:  C:\\Gone",
        kSource + "Destination instal path:  not found"}},
      // 128 characters and a terminator do not fit 255 bytes.
      {"value too long",
       folder(L"C:\\" + std::wstring(125, L'x')),
       L"",
       false,
       L"old",
       {kStarted, kSource + "SOFTWARE\\QZ\\Driver  Dir", kSource + "Registry Sub Key:  Absent",
        kSource + "Destination instal path:  not found"}},
      // Joined with "bin" an empty value would name a folder at the drive's root.
      {"empty value",
       folder(L""),
       L"bin",
       false,
       L"old",
       {kStarted, kSource + "Destination instal path:  not found"}},
  };
  for (const Case& c : cases) {
    FakeMachine m;
    m.files.AddFolder(L"C:\\Prod\\bin");
    m.files.AddFolder(L"C:\\bin");
    c.arrange(m);
    std::wstring path = L"old";
    {
      CVRNManager manager(m.os);
      EXPECT_EQ(manager.ReturnRegistryPath(kKey, L"Dir", c.relative, path), c.result) << c.name;
      EXPECT_EQ(m.LogLines(), c.log) << c.name;
    }
    EXPECT_EQ(path, c.path) << c.name;
    EXPECT_EQ(m.registry.OpenKeys(), 0u) << c.name;
  }
}

TEST(LocateAndVerifyInstallPath, TriesLocationsInOrderAndStopsAtTheFirstEntryNotFound) {
  FakeMachine m;
  m.files.AddFolder(L"C:\\Second");
  m.registry.SetString(L"SOFTWARE\\Second", L"Dir", L"C:\\Second");
  CVRNManager manager(m.os);
  UpdateEntry program;
  program.fileName = L"setup.exe";
  program.executionRequired = 1;
  UpdateEntry plugin;
  plugin.progId = L"QZ.Plugin";
  manager.m_updateEntries = {
      program, plugin,
      FileEntry(L"a.dll", {{L"SOFTWARE\\First", L"Dir", L""}, {L"SOFTWARE\\Second", L"Dir", L""}}),
      FileEntry(L"b.dll", {}), FileEntry(L"c.dll", {{L"SOFTWARE\\Fourth", L"Dir", L""}})};
  EXPECT_FALSE(manager.LocateAndVerifyInstallPath());
  EXPECT_EQ(manager.m_updateEntries[0].installPath, L"");
  EXPECT_EQ(manager.m_updateEntries[1].installPath, L"");
  EXPECT_EQ(manager.m_updateEntries[2].installPath, L"C:\\Second");
  EXPECT_EQ(manager.m_updateEntries[3].installPath, L"");
  const Lines log = m.LogLines();
  EXPECT_EQ(log.front(), "CVRNManager  LocateAndVerifyInstallPath  Started");
  EXPECT_EQ(log[2], kSource + "Registry Key:  Absent");
  // The entry after the one not found is never looked at.
  EXPECT_EQ(std::count(log.begin(), log.end(), kStarted), 2);

  manager.m_updateEntries.resize(3);
  EXPECT_TRUE(manager.LocateAndVerifyInstallPath());
  manager.m_updateEntries.clear();
  EXPECT_TRUE(manager.LocateAndVerifyInstallPath());
  EXPECT_TRUE(manager.VerifySourceFilesPath());
}

// A relative part that climbs out, or names a drive or a root, is refused
// before the registry is read: the run fails here.
TEST(LocateAndVerifyInstallPath, RelativePathsStayInsideTheRegistryFolder) {
  for (const wchar_t* relative :
       {L"..\\..\\Windows\\System32", L"sub\\..", L"C:\\Windows", L"\\Windows", L"..."}) {
    FakeMachine m;
    m.files.AddFolder(L"C:\\Second\\Windows\\System32");
    m.registry.SetString(L"SOFTWARE\\Second", L"Dir", L"C:\\Second");
    CVRNManager manager(m.os);
    manager.m_updateEntries = {FileEntry(L"a.dll", {{L"SOFTWARE\\Second", L"Dir", relative}})};
    EXPECT_FALSE(manager.LocateAndVerifyInstallPath());
    EXPECT_EQ(manager.m_updateEntries[0].installPath, L"");
    EXPECT_EQ(m.LogLines().back(),
              "CVRNManager:LocateAndVerifyInstallPath  Install path not "
              "allowed: " +
                  fake::Narrow(relative) + "  Failed");
  }
}

TEST(VerifySourceFilesPath, NeedsEveryFileAndRefusesNamesThatLeaveThePatchFolder) {
  struct Case {
    std::wstring name;
    bool result;
    bool refusalLogged;
  };
  const std::vector<Case> cases = {
      {L"a.dll", true, false},
      {L"sub\\b.dll", true, false},
      {L"missing.dll", false, false},
      {L"", false, false},
      {L"..\\a.dll", false, true},
      {L"sub\\..\\..\\a.dll", false, true},
      {L"C:\\patch\\a.dll", false, true},
      {L"\\patch\\a.dll", false, true},
      {L"a.dll:stream", false, true},
      {L"*.dll", false, true},
      {L"sub/../../a.dll", false, true},
      {L"... \\a.dll", false, true},
  };
  for (const Case& c : cases) {
    FakeMachine m;
    m.files.AddFile(L"C:\\patch\\a.dll");
    m.files.AddFile(L"C:\\patch\\sub\\b.dll");
    m.files.AddFile(L"C:\\a.dll");
    CVRNManager manager(m.os);
    manager.m_updateEntries = {FileEntry(L"a.dll", {}), FileEntry(c.name, {})};
    EXPECT_EQ(manager.VerifySourceFilesPath(), c.result) << fake::Narrow(c.name);
    const Lines log = m.LogLines();
    EXPECT_EQ(log.back() == "CVRNManager:VerifySourceFilesPath  Patch file name not allowed: " +
                                fake::Narrow(c.name) + "  Failed",
              c.refusalLogged)
        << fake::Narrow(c.name);
    EXPECT_EQ(log.back() == "CVRNManager  VerifySourceFilesPath  Ended", c.result);
  }
}

// A registry whose every call throws, as an allocation failure below would.
struct ThrowingRegistry : fake::FakeRegistry {
  port::Result<port::KeyHandle> RegOpenKeyExW(const std::wstring&, port::DWORD) override {
    throw std::runtime_error("registry");
  }
};

TEST(LocateAndVerifyInstallPath, ExceptionsFromBelowBecomeTheGeneralFailure) {
  FakeMachine m;
  ThrowingRegistry registry;
  port::Platform os = m.os;
  port::Platform broken{os.system, os.files,    registry, os.processes, os.modules,
                        os.com,    os.xml,      os.ui,    os.resources, os.installer,
                        os.shell,  os.shutdown, os.sync};
  CVRNManager manager(broken);
  manager.m_updateEntries = {FileEntry(L"a.dll", {{kKey, L"Dir", L""}})};
  EXPECT_THROW(manager.LocateAndVerifyInstallPath(), _error);
  EXPECT_EQ(m.LogLines().back(), "CVRNManager:LocateAndVerifyInstallPath  Error:  failed");
}

}  // namespace
}  // namespace qz
