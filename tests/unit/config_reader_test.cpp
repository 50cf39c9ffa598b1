// ReadConfiguration: "QZVRN.config" into the records and switches, and each
// failure into its one log entry and _error value.
#include <gtest/gtest.h>

#include <stdexcept>

#include "manager/manager.h"
#include "platform/fake/fake_platform.h"
#include "platform/fake/xml_dom_pugixml.h"

namespace qz {
namespace {

using fake::FakeMachine;

const std::string kStarted = "CVRNManager  ReadConfiguration  Started";
const std::string kEnded = "CVRNManager  ReadConfiguration  Ended";
const std::string kPointerError =
    "CVRNManager:ReadConfiguration  Com error:   Unknown error 0x80004003";
const std::string kUnknownFailed = "CVRNManager:ReadConfiguration  Unknown error:   Failed";

std::string Params(const std::string& inner) {
  return "<?xml version=\"1.0\"?>\r\n<QZVRN>\r\n<QZVRN_PARAMETERS>\r\n" + inner +
         "\r\n</QZVRN_PARAMETERS>\r\n</QZVRN>\r\n";
}

class ConfigReader : public ::testing::Test {
 protected:
  explicit ConfigReader(std::wstring folder = L"C:\\patch")
      : m_([](fake::FakeFiles& f) { return fake::MakePugixmlDom(f); }) {
    m_.system.currentDirectory = folder;
    m_.files.AddFolder(folder);
    manager_ = std::make_unique<CVRNManager>(m_.os);
  }
  void Config(const std::string& xml) { m_.files.AddFile(L"C:\\patch\\QZVRN.config", xml); }
  // The _error thrown, or -1 when the reader returned true.
  int Read() {
    try {
      EXPECT_TRUE(manager_->ReadConfiguration());
      return -1;
    } catch (_error e) {
      return e;
    }
  }
  std::vector<std::string> Log() { return m_.LogLines(); }
  CVRNManager& M() { return *manager_; }

  FakeMachine m_;
  std::unique_ptr<CVRNManager> manager_;
};

TEST_F(ConfigReader, AFullFileFillsEveryRecordAndSwitch) {
  Config(
      Params("<!-- parameters -->\r\n"
             "<FILENAME>Rule.xml</FILENAME>\r\n"
             "<OSVERSION><OS>Windows XP (32bit)</OS><OS></OS><OS>Windows Vista "
             "(64bit)</OS><X>no</X></OSVERSION>\r\n"
             "<SILENT_MODE>tRuE</SILENT_MODE>\r\n"
             "<UPDATES>\r\n"
             "  <PATCH_DETAILS Condition_Ref=\"IsOld\" Other=\"x\">\r\n"
             "    <INSTALLFILENAME>sub\\QZZipm12.exe</INSTALLFILENAME>\r\n"
             "    <REGKEYS>\r\n"
             "      <INSTALLPATH_REGKEY Key=\"SOFTWARE\\QZ\" Value=\"Path\" Rel=\"bin\"/>\r\n"
             "      <INSTALLPATH_REGKEY a=\"K2\" b=\"V2\" c=\"\" d=\"ignored\"/>\r\n"
             "    </REGKEYS>\r\n"
             "    <COMREG_REQUIRED>TRUE</COMREG_REQUIRED>\r\n"
             "    <ASMREG_REQUIRED>true</ASMREG_REQUIRED>\r\n"
             "    <ARGUMENTS>/silent</ARGUMENTS>\r\n"
             "    <EXECUTION_REQUIRED>yes</EXECUTION_REQUIRED>\r\n"
             "    <PROGID>QZ.Plugin</PROGID>\r\n"
             "    "
             "<PARAMETERS><PARAMETER>p1</PARAMETER><PARAMETER></PARAMETER><PARAMETER>p3</"
             "PARAMETER></PARAMETERS>\r\n"
             "  </PATCH_DETAILS>\r\n"
             "  <PATCH_DETAILS><INSTALLFILENAME>b.dll</INSTALLFILENAME></PATCH_DETAILS>\r\n"
             "  <patch_details><INSTALLFILENAME>lower.dll</INSTALLFILENAME></patch_details>\r\n"
             "</UPDATES>\r\n"
             "<SHOWFINAL_SUCCESSMSG>false</SHOWFINAL_SUCCESSMSG>\r\n"
             "<RUNFINAL_RULE>TRUE</RUNFINAL_RULE>\r\n"
             "<RULEFINAL_SUCCESSMSG>0</RULEFINAL_SUCCESSMSG>\r\n"
             "<RULEFINAL_FAILEDMSG>True</RULEFINAL_FAILEDMSG>\r\n"
             "<CLEANUP_RECURSIVE>TRUE</CLEANUP_RECURSIVE>\r\n"
             "<filename>ignored.xml</filename>"));
  EXPECT_EQ(Read(), -1);
  EXPECT_EQ(Log(), (std::vector<std::string>{kStarted, kEnded}));
  EXPECT_EQ(M().m_ruleFileName, L"Rule.xml");
  EXPECT_EQ(M().m_osList,
            (std::list<std::wstring>{L"Windows XP (32bit)", L"Windows Vista (64bit)"}));
  EXPECT_EQ(M().m_silentMode, 1);
  EXPECT_EQ(M().m_showFinalSuccessMsg, 0);
  EXPECT_EQ(M().m_runFinalRule, 1);
  EXPECT_EQ(M().m_ruleFinalSuccessMsg, 0);
  EXPECT_EQ(M().m_ruleFinalFailedMsg, 1);
  EXPECT_EQ(M().m_cleanupRecursive, 1);
  ASSERT_EQ(M().m_updateEntries.size(), 2u);
  const UpdateEntry& a = M().m_updateEntries[0];
  EXPECT_EQ(a.conditionRef, L"IsOld");
  EXPECT_EQ(a.fileName, L"sub\\QZZipm12.exe");
  ASSERT_EQ(a.registryLocations.size(), 2u);
  EXPECT_EQ(a.registryLocations[0].subKey, L"SOFTWARE\\QZ");
  EXPECT_EQ(a.registryLocations[0].valueName, L"Path");
  EXPECT_EQ(a.registryLocations[0].relativePath, L"bin");
  EXPECT_EQ(a.registryLocations[1].subKey, L"K2");
  EXPECT_EQ(a.registryLocations[1].valueName, L"V2");
  EXPECT_EQ(a.registryLocations[1].relativePath, L"");
  EXPECT_EQ(a.comRegRequired, 1);
  EXPECT_EQ(a.asmRegRequired, 1);
  EXPECT_EQ(a.executionRequired, 0);
  EXPECT_EQ(a.arguments, L"/silent");
  EXPECT_EQ(a.progId, L"QZ.Plugin");
  EXPECT_EQ(a.parameters, (std::vector<std::wstring>{L"p1", L"", L"p3"}));
  EXPECT_EQ(a.installPath, L"");
  EXPECT_EQ(a.installed, 0);
  const UpdateEntry& b = M().m_updateEntries[1];
  EXPECT_EQ(b.fileName, L"b.dll");
  EXPECT_EQ(b.conditionRef, L"");
  EXPECT_TRUE(b.registryLocations.empty());
  EXPECT_EQ(b.comRegRequired + b.asmRegRequired + b.executionRequired, 0);
}

TEST_F(ConfigReader, AbsentBooleansKeepTheirDefaultsAndValueOneIsFalse) {
  Config(Params("<FILENAME>r.xml</FILENAME><SILENT_MODE>1</SILENT_MODE>"));
  EXPECT_EQ(Read(), -1);
  EXPECT_EQ(M().m_silentMode, 0);
  EXPECT_EQ(M().m_showFinalSuccessMsg, 1);
  EXPECT_EQ(M().m_runFinalRule, 0);
  EXPECT_EQ(M().m_ruleFinalSuccessMsg, 1);
  EXPECT_EQ(M().m_ruleFinalFailedMsg, 0);
  EXPECT_EQ(M().m_cleanupRecursive, 0);
}

TEST_F(ConfigReader, RepeatedScalarsOverwriteAndRepeatedContainersAdd) {
  Config(Params(
      "<FILENAME>first.xml</FILENAME><OSVERSION><OS>A</OS></OSVERSION>"
      "<SILENT_MODE>TRUE</SILENT_MODE><SILENT_MODE>no</SILENT_MODE>"
      "<UPDATES><PATCH_DETAILS><INSTALLFILENAME>1</INSTALLFILENAME></PATCH_DETAILS></UPDATES>"
      "<OSVERSION><OS>B</OS></OSVERSION><FILENAME>second.xml</FILENAME>"
      "<UPDATES><PATCH_DETAILS><INSTALLFILENAME>2</INSTALLFILENAME>"
      "<REGKEYS><INSTALLPATH_REGKEY a='1' b='2' c='3'/></REGKEYS>"
      "<REGKEYS><INSTALLPATH_REGKEY c='x' b='y' a='z'/></REGKEYS>"
      "<PARAMETERS><PARAMETER>a</PARAMETER></PARAMETERS><PARAMETERS><PARAMETER>b</PARAMETER></"
      "PARAMETERS>"
      "</PATCH_DETAILS></UPDATES>"));
  EXPECT_EQ(Read(), -1);
  EXPECT_EQ(M().m_ruleFileName, L"second.xml");
  EXPECT_EQ(M().m_osList, (std::list<std::wstring>{L"A", L"B"}));
  EXPECT_EQ(M().m_silentMode, 0);
  ASSERT_EQ(M().m_updateEntries.size(), 2u);
  const UpdateEntry& e = M().m_updateEntries[1];
  ASSERT_EQ(e.registryLocations.size(), 2u);
  // Reordered attributes swap the fields: position is all that counts.
  EXPECT_EQ(e.registryLocations[1].subKey, L"x");
  EXPECT_EQ(e.registryLocations[1].valueName, L"y");
  EXPECT_EQ(e.registryLocations[1].relativePath, L"z");
  EXPECT_EQ(e.parameters, (std::vector<std::wstring>{L"a", L"b"}));
}

TEST_F(ConfigReader, OnlyTheFirstParameterBlockInDocumentOrderCounts) {
  Config(
      "<root><deep><QZVRN_PARAMETERS><FILENAME>inner.xml</FILENAME></QZVRN_PARAMETERS></deep>"
      "<QZVRN_PARAMETERS><FILENAME>outer.xml</FILENAME><SILENT_MODE>TRUE</SILENT_MODE>"
      "</QZVRN_PARAMETERS></root>");
  EXPECT_EQ(Read(), -1);
  EXPECT_EQ(M().m_ruleFileName, L"inner.xml");
  EXPECT_EQ(M().m_silentMode, 0);
}

TEST_F(ConfigReader, HeaderAndFooterReplaceOnlyWhenNotEmpty) {
  const std::wstring builtInHeader = M().m_scriptHeader;
  const std::wstring builtInFooter = M().m_scriptFooter;
  Config(Params(
      "<JSCRIPTCODE><HEADER></HEADER><FOOTER>F1</FOOTER><HEADER>   </HEADER>"
      "<FOOTER><![CDATA[} WScript.quit(R1());]]></FOOTER><header>no</header></JSCRIPTCODE>"));
  EXPECT_EQ(Read(), -1);
  EXPECT_EQ(M().m_scriptHeader, builtInHeader);
  EXPECT_EQ(M().m_scriptFooter, L"} WScript.quit(R1());");
  EXPECT_NE(builtInFooter, M().m_scriptFooter);

  Config(Params(
      "<JSCRIPTCODE><HEADER>function R1() {</HEADER><HEADER>H2<x>y</x></HEADER></JSCRIPTCODE>"));
  EXPECT_EQ(Read(), -1);
  EXPECT_EQ(M().m_scriptHeader, L"H2y");
}

TEST_F(ConfigReader, EmptyValuesFailTheFileButEmptyOsIsSkipped) {
  // Each of these has an element without a child node where a value is read.
  const char* const empties[] = {
      "<FILENAME></FILENAME>",
      "<FILENAME>  </FILENAME>",
      "<SILENT_MODE/>",
      "<UPDATES><PATCH_DETAILS><ARGUMENTS></ARGUMENTS></PATCH_DETAILS></UPDATES>",
      "<UPDATES><PATCH_DETAILS><INSTALLFILENAME/></PATCH_DETAILS></UPDATES>",
      "<UPDATES><PATCH_DETAILS><COMREG_REQUIRED/></PATCH_DETAILS></UPDATES>",
      "<CLEANUP_RECURSIVE></CLEANUP_RECURSIVE>"};
  for (const char* empty : empties) {
    FakeMachine fresh([](fake::FakeFiles& f) { return fake::MakePugixmlDom(f); });
    CVRNManager manager(fresh.os);
    fresh.files.AddFile(L"C:\\patch\\QZVRN.config", Params(empty));
    int error = -1;
    try {
      manager.ReadConfiguration();
    } catch (_error e) {
      error = e;
    }
    EXPECT_EQ(error, errGeneralFailure) << empty;
    EXPECT_EQ(fresh.LogLines(), (std::vector<std::string>{kStarted, kPointerError})) << empty;
  }
  Config(Params("<OSVERSION><OS></OS><OS>  </OS><OS><!--c--></OS><OS>XP</OS></OSVERSION>"));
  EXPECT_EQ(Read(), -1);
  EXPECT_EQ(M().m_osList, (std::list<std::wstring>{L"XP"}));
}

TEST_F(ConfigReader, AFailureKeepsTheEntriesAlreadyRead) {
  Config(
      Params("<SILENT_MODE>TRUE</SILENT_MODE><UPDATES>"
             "<PATCH_DETAILS><INSTALLFILENAME>a</INSTALLFILENAME></PATCH_DETAILS>"
             "<PATCH_DETAILS><INSTALLFILENAME>b</INSTALLFILENAME>"
             "<REGKEYS><INSTALLPATH_REGKEY a='1' b='2'/></REGKEYS></PATCH_DETAILS>"
             "</UPDATES><RUNFINAL_RULE>TRUE</RUNFINAL_RULE>"));
  EXPECT_EQ(Read(), errGeneralFailure);
  EXPECT_EQ(Log(), (std::vector<std::string>{kStarted, kPointerError}));
  ASSERT_EQ(M().m_updateEntries.size(), 1u);
  EXPECT_EQ(M().m_updateEntries[0].fileName, L"a");
  EXPECT_EQ(M().m_silentMode, 1);
  EXPECT_EQ(M().m_runFinalRule, 0);
}

TEST_F(ConfigReader, MissingOrBrokenFileIsError1AndNoParametersIsError9) {
  EXPECT_EQ(Read(), errRuleFileNotFound);
  EXPECT_EQ(Log(), (std::vector<std::string>{kStarted, kUnknownFailed}));

  for (const char* broken : {"<QZVRN_PARAMETERS>", "not xml", "<a></b>", ""}) {
    Config(broken);
    EXPECT_EQ(Read(), errRuleFileNotFound) << broken;
    EXPECT_EQ(Log().back(), kUnknownFailed);
  }
  Config("<QZVRN><qzvrn_parameters><FILENAME>x</FILENAME></qzvrn_parameters></QZVRN>");
  EXPECT_EQ(Read(), errGeneralFailure);
  EXPECT_EQ(Log().back(), kPointerError);
}

// A DOM that fails in a way the pugixml one cannot.
class FailingDom : public port::XmlDom {
 public:
  enum Mode { kNullDocument, kStdException, kComError };
  explicit FailingDom(Mode mode, port::HRESULT code = 0) : mode_(mode), code_(code) {}
  std::unique_ptr<port::XmlDocument> CreateDocument() override {
    if (mode_ == kStdException) throw std::runtime_error("boom");
    if (mode_ == kComError) throw port::ComError(code_);
    return nullptr;  // the interface was refused
  }

 private:
  Mode mode_;
  port::HRESULT code_;
};

TEST(ConfigReaderDomFailures, EachFailureKindHasItsEntryAndError) {
  struct Case {
    FailingDom::Mode mode;
    std::uint32_t code;
    std::string entry;
    int error;
  };
  const Case cases[] = {
      {FailingDom::kComError, 0x80040154u, "Com error:   Class not registered", 0},
      {FailingDom::kComError, 0x80070057u, "Com error:   The parameter is incorrect.", 0},
      {FailingDom::kComError, 0x80004002u, "Com error:   Unknown error 0x80004002", 0},
      {FailingDom::kComError, 0x80040152u, "Com error:   Unknown error 0x80040152", 9},
      {FailingDom::kComError, 0x80040205u, "Com error:   IDispatch error #5", 9},
      {FailingDom::kNullDocument, 0, "Com error:   Unknown error 0x80004003", 9},
      {FailingDom::kStdException, 0, "Unknown error:   failed", 9},
  };
  for (const Case& c : cases) {
    FakeMachine m([&](fake::FakeFiles&) {
      return std::make_unique<FailingDom>(c.mode, static_cast<port::HRESULT>(c.code));
    });
    m.system.systemMessages[0x80040154u] = L"Class not registered";
    m.system.systemMessages[0x80070057u] = L"The parameter is incorrect.";
    CVRNManager manager(m.os);
    int error = -1;
    try {
      manager.ReadConfiguration();
    } catch (_error e) {
      error = e;
    }
    EXPECT_EQ(error, c.error) << c.entry;
    EXPECT_EQ(m.LogLines(),
              (std::vector<std::string>{kStarted, "CVRNManager:ReadConfiguration  " + c.entry}));
  }
}

TEST(ConfigReaderDomFailures, ClassNotRegisteredHasNoFallbackInRange) {
  // 0x80040154 lies below the IDispatch range, so without a system text it
  // is reported by its code.
  FakeMachine m;  // its DOM is not registered
  CVRNManager manager(m.os);
  EXPECT_THROW(manager.ReadConfiguration(), _error);
  EXPECT_EQ(m.LogLines().back(),
            "CVRNManager:ReadConfiguration  Com error:   Unknown error 0x80040154");
}

class ConfigReaderInUnicodeFolder : public ConfigReader {
 protected:
  ConfigReaderInUnicodeFolder() : ConfigReader(L"C:\\Patch \u00dcber\\\u65e5\u672c") {}
};

TEST_F(ConfigReaderInUnicodeFolder, TheFileIsFoundByItsWidePath) {
  m_.files.AddFile(L"C:\\Patch \u00dcber\\\u65e5\u672c\\QZVRN.config",
                   Params("<FILENAME>r.xml</FILENAME>"));
  EXPECT_EQ(Read(), -1);
  EXPECT_EQ(M().m_ruleFileName, L"r.xml");
}

TEST_F(ConfigReader, LongValuesAndThousandsOfEntriesAreReadWhole) {
  const std::string longText(10000, 'x');
  std::string updates = "<UPDATES>";
  for (int i = 0; i < 5000; ++i) {
    updates += "<PATCH_DETAILS Condition_Ref='c" + std::to_string(i) +
               "'><INSTALLFILENAME>f</INSTALLFILENAME><PARAMETERS><PARAMETER>" +
               (i == 0 ? longText : "p") + "</PARAMETER></PARAMETERS></PATCH_DETAILS>";
  }
  updates += "</UPDATES>";
  Config(Params("<FILENAME>" + longText + "</FILENAME><OSVERSION><OS>" + longText +
                "</OS></OSVERSION>" + updates));
  EXPECT_EQ(Read(), -1);
  EXPECT_EQ(M().m_ruleFileName.size(), 10000u);
  EXPECT_EQ(M().m_osList.front().size(), 10000u);
  ASSERT_EQ(M().m_updateEntries.size(), 5000u);
  EXPECT_EQ(M().m_updateEntries[0].parameters[0].size(), 10000u);
  EXPECT_EQ(M().m_updateEntries[4999].conditionRef, L"c4999");
  EXPECT_EQ(Log(), (std::vector<std::string>{kStarted, kEnded}));
}

}  // namespace
}  // namespace qz
