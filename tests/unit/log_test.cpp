// The log file and the return-code file: bytes as another program reads
// them.
#include <gtest/gtest.h>

#include "manager/manager.h"
#include "platform/fake/fake_platform.h"

namespace qz {
namespace {

using fake::FakeMachine;

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

TEST(Log, LinesAreByteExact) {
  FakeMachine m;
  {
    CVRNManager manager(m.os);
    manager.LogStarted(L"QZVRN", L"Main");
    manager.WriteLog(L"CVRNManager:Step", L"", L"Info");
    manager.WriteLog(L"S", L"T", L"");
    manager.LogEnded(L"QZVRN", L"Main");
  }
  const std::string expected =
      "QZVRN  Main  Started\r\n"
      "CVRNManager:Step    Info\r\n"
      "S  T  \r\n"
      "QZVRN  Main  Ended\r\n"
      "CVRNManager  ~CVRNManager  Started\r\n";
  EXPECT_EQ(Hex(m.LogBytes()), Hex(expected));
}

TEST(Log, EightBitCharactersPassAndWiderOnesBecomeQuestionMarks) {
  FakeMachine m;
  {
    CVRNManager manager(m.os);
    manager.WriteLog(L"A", L"C:\\M\u00fcller\\\u00ff", L"Info");
    manager.WriteLog(L"B", L"C:\\\u65e5\u672c\\x", L"\u0416");
    manager.WriteLog(L"C", L"still logging", L"Info");
  }
  const auto lines = m.LogLines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "A  C:\\M\xfcller\\\xff  Info");
  EXPECT_EQ(lines[1], "B  C:\\??\\x  ?");
  EXPECT_EQ(lines[2], "C  still logging  Info");
}

TEST(Log, LineEndsInsideAFieldDoNotSplitTheEntry) {
  FakeMachine m;
  {
    CVRNManager manager(m.os);
    manager.WriteLog(L"A\nB", L"two\r\nlines", L"tab\there\x01");
  }
  const auto lines = m.LogLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "A?B  two??lines  tab\there?");
}

TEST(Log, LongFieldsAreCutAt255Characters) {
  FakeMachine m;
  {
    CVRNManager manager(m.os);
    manager.WriteLog(std::wstring(300, L's'), std::wstring(10000, L't'), std::wstring(256, L'u'));
  }
  EXPECT_EQ(m.LogLines()[0],
            std::string(255, 's') + "  " + std::string(255, 't') + "  " + std::string(255, 'u'));
}

TEST(Log, PreviousLogIsReplaced) {
  FakeMachine m;
  m.files.AddFile(L"C:\\Temp\\QZZqzvrn.log", "old run\r\nold line\r\n");
  { CVRNManager manager(m.os); }
  EXPECT_EQ(m.LogBytes(), "CVRNManager  ~CVRNManager  Started\r\n");
  EXPECT_EQ(m.files.OpenHandles(), 0u);
}

// The temporary folder may be shared: a file someone else holds under the
// log's name is never written into (nor through); the run goes on without
// a log.
TEST(Log, APlantedLogThatCannotBeRemovedIsNotWrittenInto) {
  for (bool readOnly : {false, true}) {
    FakeMachine m;
    m.files.AddFile(L"C:\\Temp\\QZZqzvrn.log", "QZVRN  Main  Started\r\n");
    fake::FakeFiles::Entry& planted = *m.files.Find(L"C:\\Temp\\QZZqzvrn.log");
    if (readOnly) {
      planted.attributes |= port::kFileAttributeReadOnly;
    } else {
      planted.locked = true;
    }
    CVRNManager manager(m.os);
    manager.WriteLog(L"a", L"b", L"c");
    EXPECT_TRUE(manager.m_log.Failed());
    EXPECT_EQ(m.LogBytes(), "QZVRN  Main  Started\r\n");
  }
}

TEST(Log, UnusableTempFolderDropsEntriesButNotTheRun) {
  FakeMachine m;
  m.system.tempPath = L"Q:\\nowhere\\";
  CVRNManager manager(m.os);
  manager.WriteLog(L"a", L"b", L"c");
  EXPECT_TRUE(manager.m_log.Failed());
  EXPECT_EQ(m.files.OpenHandles(), 0u);
}

TEST(Log, LongTempFolderStillGetsItsLog) {
  FakeMachine m;
  const std::wstring temp = L"C:\\" + std::wstring(250, L'd') + L"\\";
  m.files.AddFolder(temp);
  m.system.tempPath = temp;
  { CVRNManager manager(m.os); }
  EXPECT_TRUE(m.files.Contents(temp + L"QZZqzvrn.log").has_value());
}

TEST(ReturnCode, WritesOneDigitWithoutLineEnd) {
  FakeMachine m;
  CVRNManager manager(m.os);
  m.files.AddFile(L"C:\\patch\\QZVRN_Returncode.txt", "old content");
  EXPECT_EQ(manager.WriteReturnCode(2), 1);
  EXPECT_EQ(m.files.Contents(L"C:\\patch\\QZVRN_Returncode.txt"), std::string("2"));
  EXPECT_EQ(manager.WriteReturnCode(-12), 1);
  EXPECT_EQ(m.files.Contents(L"C:\\patch\\QZVRN_Returncode.txt"), std::string("-12"));
  EXPECT_EQ(m.files.OpenHandles(), 1u);  // only the log stays open
}

TEST(ReturnCode, UnwritableFolderIsNotReported) {
  FakeMachine m;
  CVRNManager manager(m.os);
  m.files.unwritableFolders.insert(L"c:\\patch");
  EXPECT_EQ(manager.WriteReturnCode(2), 1);
  EXPECT_FALSE(m.files.Exists(L"C:\\patch\\QZVRN_Returncode.txt"));
}

TEST(Manager, FreshManagerHasItsInitialValues) {
  FakeMachine m;
  m.system.currentDirectory = L"C:\\some patch";
  CVRNManager manager(m.os);
  EXPECT_EQ(manager.m_launchMode, 2);
  EXPECT_EQ(manager.m_rebootFlag, 0);
  EXPECT_EQ(manager.m_silentMode, 0);
  EXPECT_EQ(manager.m_showFinalSuccessMsg, 1);
  EXPECT_EQ(manager.m_runFinalRule, 0);
  EXPECT_EQ(manager.m_ruleFinalSuccessMsg, 1);
  EXPECT_EQ(manager.m_ruleFinalFailedMsg, 0);
  EXPECT_EQ(manager.m_cleanupRecursive, 0);
  EXPECT_EQ(manager.m_installFailed, 0);
  EXPECT_TRUE(manager.m_osList.empty());
  EXPECT_TRUE(manager.m_updateEntries.empty());
  EXPECT_EQ(manager.m_sourceFolder, L"C:\\some patch");
  EXPECT_TRUE(manager.m_backupFolder.empty());
  EXPECT_TRUE(manager.m_ruleFileName.empty());
  // Header: 22 lines, the last "{" without a line feed.
  EXPECT_EQ(std::count(manager.m_scriptHeader.begin(), manager.m_scriptHeader.end(), L'\n'), 21);
  EXPECT_EQ(manager.m_scriptHeader.substr(0, 62),
            L"var QZRegUtil = new ActiveXObject(\"QZKelvaDiags.QZRegUtil\"); \n");
  EXPECT_EQ(manager.m_scriptHeader.substr(manager.m_scriptHeader.size() - 17),
            L"\n\nfunction R1()\n{");
  EXPECT_EQ(manager.m_scriptFooter,
            L"} \nvar bResult = false; \nbResult = R1(); \nWScript.quit(bResult);");
  // The constructor writes nothing.
  EXPECT_EQ(m.LogBytes(), "");
}

}  // namespace
}  // namespace qz
