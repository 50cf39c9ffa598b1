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
class HalfWritingInstaller : public port::Installer {
 public:
  explicit HalfWritingInstaller(FakeFiles& files) : files_(files) {}
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
  port::Platform os{m.system, m.files,     m.registry, m.processes, m.modules, m.com,
                    m.noXml,  m.ui,        m.resources, installer,  m.shell,   m.shutdown, m.sync};
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

TEST_F(FailedCopyRepairTest, ABackupCopyThatHoldsAnotherEntrysOriginalIsNotUsed) {
  // Both originals went to one backup copy; the later one's is in it.
  m.files.AddFile(L"C:\\patch\\one\\a.ini", "new one");
  m.files.AddFile(L"C:\\patch\\two\\a.ini", "new two");
  m.files.AddFile(L"C:\\Prod\\a.ini", "old one");
  m.files.AddFile(L"C:\\Other\\a.ini", "old two");
  Entry(L"one\\a.ini", L"C:\\Prod");
  Entry(L"two\\a.ini", L"C:\\Other");
  EXPECT_FALSE(manager.DoUpdate());
  EXPECT_EQ(m.files.Contents(L"C:\\Prod\\a.ini"), "ne");
  EXPECT_EQ(m.files.Contents(L"C:\\Other\\a.ini"), "old two");
  EXPECT_TRUE(Has("CVRNManager:DoUpdate  PatchFile = one\\a.ini : original not restored, its "
                  "backup copy is another's  Failed"));
}

}  // namespace
}  // namespace qz
