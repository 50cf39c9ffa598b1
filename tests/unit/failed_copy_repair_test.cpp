// A Setup API copy that fails part-way (a full disk under Wine leaves the
// start of the new file behind): the walk puts the original back from its
// backup copy, or removes a file that was not there before.
#include <gtest/gtest.h>

#include <algorithm>

#include "manager/manager.h"
#include "platform/fake/fake_platform.h"

namespace qz {
namespace {

using fake::FakeFiles;
using fake::FakeMachine;

constexpr port::DWORD kDiskFull = 112;

// Writes the first two bytes of the patch file, then fails.
class HalfWritingInstaller : public fake::FakeInstaller {
 public:
  explicit HalfWritingInstaller(FakeFiles& files) : FakeInstaller(files), files_(files) {}
  int calls = 0;
  bool SetupInstallFileExW(const std::wstring& sourceFile, const std::wstring& sourcePathRoot,
                           const std::wstring& destinationName, port::DWORD, port::FileCallback,
                           void*, bool& fileWasInUse, port::DWORD& lastError) override {
    ++calls;
    FakeFiles::Entry e;
    e.contents = files_.Contents(sourcePathRoot + L"\\" + sourceFile)->substr(0, 2);
    files_.Put(files_.Absolute(destinationName), e);
    fileWasInUse = false;
    lastError = kDiskFull;
    return false;
  }

 private:
  FakeFiles& files_;
};

class FailedCopyRepairTest : public ::testing::Test {
 protected:
  FailedCopyRepairTest() {
    m.files.AddFolder(L"C:\\Prod");
    m.files.AddFolder(L"C:\\Other");
  }
  void Entry(const std::wstring& fileName, const std::wstring& installPath) {
    UpdateEntry e;
    e.fileName = fileName;
    e.installPath = installPath;
    manager.m_updateEntries.push_back(e);
  }
  bool Has(const std::string& line) const {
    const auto log = m.LogLines();
    return std::find(log.begin(), log.end(), line) != log.end();
  }

  FakeMachine m;
  HalfWritingInstaller installer{m.files};
  port::Platform os{m.system, m.files,     m.registry, m.processes, m.modules,  m.com, m.noXml,
                    m.ui,     m.resources, installer,  m.shell,     m.shutdown, m.sync};
  CVRNManager manager{os};
};

TEST_F(FailedCopyRepairTest, TheOriginalComesBackFromItsBackupCopy) {
  m.files.AddFile(L"C:\\patch\\a.ini", "new bytes");
  m.files.AddFile(L"C:\\Prod\\a.ini", "old bytes");
  Entry(L"a.ini", L"C:\\Prod");
  EXPECT_FALSE(manager.DoUpdate());
  EXPECT_EQ(installer.calls, 2);
  EXPECT_EQ(m.files.Contents(L"C:\\Prod\\a.ini"), "old bytes");
  EXPECT_TRUE(Has("CVRNManager:DoUpdate  PatchFile = a.ini, SetupInstallFileEx error 112  Failed"));
  EXPECT_TRUE(Has("CVRNManager:DoUpdate  PatchFile = a.ini : original restored  Info"));
}

TEST_F(FailedCopyRepairTest, APartialFileWhereNoneWasIsRemoved) {
  m.files.AddFile(L"C:\\patch\\a.ini", "new bytes");
  Entry(L"a.ini", L"C:\\Prod");
  EXPECT_FALSE(manager.DoUpdate());
  EXPECT_FALSE(m.files.Exists(L"C:\\Prod\\a.ini"));
  EXPECT_TRUE(Has("CVRNManager:DoUpdate  PatchFile = a.ini : partial copy removed  Info"));
}

// Both originals went to one backup copy, the later one's in it: names
// that the file system takes as one, however they are spelt.
TEST(FailedCopyRepair, ABackupCopyThatHoldsAnotherEntrysOriginalIsNotUsed) {
  const std::vector<std::pair<std::wstring, std::wstring>> pairs = {
      {L"one\\a.ini", L"two\\a.ini"},
      {L"\u00c4rger.dll", L"sub\\\u00e4rger.dll"},  // Unicode case
      {L"s.dll", L"sub\\s.dll."},                   // a trailing dot
  };
  for (const auto& [first, second] : pairs) {
    SCOPED_TRACE(fake::Narrow(second));
    FakeMachine m;
    HalfWritingInstaller installer{m.files};
    port::Platform os{m.system, m.files,     m.registry, m.processes, m.modules,  m.com, m.noXml,
                      m.ui,     m.resources, installer,  m.shell,     m.shutdown, m.sync};
    CVRNManager manager{os};
    m.files.AddFile(L"C:\\patch\\" + first, "new one");
    m.files.AddFile(L"C:\\patch\\" + second, "new two");
    m.files.AddFile(L"C:\\Prod\\" + first.substr(first.find_last_of(L'\\') + 1), "old one");
    m.files.AddFile(L"C:\\Other\\" + second.substr(second.find_last_of(L'\\') + 1), "old two");
    for (const auto& [name, path] : {std::pair{first, L"C:\\Prod"}, {second, L"C:\\Other"}}) {
      UpdateEntry e;
      e.fileName = name;
      e.installPath = path;
      manager.m_updateEntries.push_back(e);
    }
    EXPECT_FALSE(manager.DoUpdate());
    const std::wstring one = L"C:\\Prod\\" + first.substr(first.find_last_of(L'\\') + 1);
    EXPECT_EQ(m.files.Contents(one), "ne");
    const auto log = m.LogLines();
    EXPECT_NE(std::find(log.begin(), log.end(),
                        "CVRNManager:DoUpdate  PatchFile = " + fake::Narrow(first) +
                            " : original not restored, its backup copy is another's  Failed"),
              log.end());
  }
}

}  // namespace
}  // namespace qz
