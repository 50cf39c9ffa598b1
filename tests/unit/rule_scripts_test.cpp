// The rule script layout byte for byte, and ReadJSFromXml: the rule file's
// last matchString into "TestCode_Main.js", rebootFlag into the manager.
#include <gtest/gtest.h>

#include "manager/manager.h"
#include "platform/fake/fake_platform.h"
#include "platform/fake/xml_dom_pugixml.h"

namespace qz {
namespace {

using fake::FakeMachine;

// The built-in header as the scripts must hold it: 22 lines, CRLF, the
// objects' lines ending in one blank.
std::string HeaderBytes() {
  auto object = [](const std::string& name) {
    return "var " + name + " = new ActiveXObject(\"QZKelvaDiags." + name + "\"); \r\n";
  };
  std::string out;
  for (const char* name : {"QZRegUtil", "QZFileUtil", "QZIniFileUtil", "QZOperatingSystem"}) {
    out += object(name);
  }
  out += "\r\n";
  for (const char* name :
       {"QZDeviceUtil", "QZLogicalDriveInfo", "QZPDriverRead", "QZPDriversCollection", "QZPJobRead",
        "QZPJobsCollection", "QZPMonitorRead", "QZPMonitorsCollection", "QZPPortRead",
        "QZPPortsCollection", "QZPProcessorsCollection", "QZPrinterRead", "QZPrintersCollection",
        "QZSystemBoardInfo"}) {
    out += object(name);
  }
  out += "\r\nfunction R1()\r\n{";
  return out;
}
const std::string kFooterBytes =
    "} \r\nvar bResult = false; \r\nbResult = R1(); \r\nWScript.quit(bResult);";

std::string Script(const std::string& body) {
  return HeaderBytes() + "\r\n" + body + kFooterBytes + "\r\n";
}

const std::string kStarted = "CVRNManager  ReadJSFromXml  Started";
const std::string kPointerError = "CVRNManager:ReadJSFromXml  Com error:  Unknown error 0x80004003";

std::string Rule(const std::string& inner) {
  return "<?xml version=\"1.0\"?>\r\n<WebUpdate>\r\n" + inner + "\r\n</WebUpdate>\r\n";
}
std::string Matches(const std::string& rule) {
  return "<matches><match><matchString>" + rule + "</matchString></match></matches>";
}

class RuleScripts : public ::testing::Test {
 protected:
  RuleScripts() : m_([](fake::FakeFiles& f) { return fake::MakePugixmlDom(f); }) {
    manager_ = std::make_unique<CVRNManager>(m_.os);
    manager_->m_ruleFileName = L"Rule.xml";
  }
  void RuleFile(const std::string& xml) { m_.files.AddFile(L"C:\\patch\\Rule.xml", xml); }
  int Read() {
    try {
      EXPECT_TRUE(manager_->ReadJSFromXml());
      return -1;
    } catch (_error e) {
      return e;
    }
  }
  std::optional<std::string> Main() { return m_.files.Contents(L"C:\\patch\\TestCode_Main.js"); }
  std::vector<std::string> Log() { return m_.LogLines(); }
  CVRNManager& M() { return *manager_; }

  FakeMachine m_;
  std::unique_ptr<CVRNManager> manager_;
};

TEST_F(RuleScripts, TheWriterPutsHeaderBodyAndFooterWithCrlf) {
  M().WriteRuleScript(L"Main", L"return true;\n");
  EXPECT_EQ(Main(), Script("return true;\r\n"));
  // No line feed after the body: the closing brace joins its last line.
  M().WriteRuleScript(L"Main", L"return false;");
  EXPECT_EQ(Main(), Script("return false;"));
  EXPECT_NE(Main()->find("\r\nreturn false;} \r\nvar bResult"), std::string::npos);
  // Latin-1 stays one byte a character, a carriage return stays as it is.
  M().WriteRuleScript(L"X", L"s = \"\u00e9\u00ff\";\r\n");
  EXPECT_EQ(m_.files.Contents(L"C:\\patch\\TestCode_X.js"), Script("s = \"\xe9\xff\";\r\r\n"));
  EXPECT_TRUE(Log().empty());
}

TEST_F(RuleScripts, TextBeyondLatin1IsWrittenAsUtf16WithByteOrderMark) {
  M().WriteRuleScript(L"Main", L"return \"\u65e5\u00e9\";\n");
  const std::string expected8 = Script("return \"?\xe9\";\r\n");
  std::string expected = "\xff\xfe";
  for (unsigned char c : expected8) {
    if (c == '?') {
      expected += "\xe5\x65";
    } else {
      expected += static_cast<char>(c);
      expected += '\0';
    }
  }
  EXPECT_EQ(Main(), expected);
  // A configured header beyond Latin-1 does the same for the whole script.
  M().m_scriptHeader = L"// \u0416\nfunction R1() {";
  M().WriteRuleScript(L"Main", L"return 1;");
  EXPECT_EQ(Main()->substr(0, 10), std::string("\xff\xfe/\0/\0 \0\x16\x04", 10));
}

TEST_F(RuleScripts, WriterReplacesTheFileAndReportsNothingWhenItCannot) {
  m_.files.AddFile(L"C:\\patch\\TestCode_Main.js", std::string(50000, 'o'));
  M().WriteRuleScript(L"Main", L"a");
  EXPECT_EQ(Main(), Script("a"));
  m_.files.Find(L"C:\\patch\\TestCode_Main.js")->locked = true;
  M().WriteRuleScript(L"Main", L"b");
  EXPECT_EQ(Main(), Script("a"));
  EXPECT_TRUE(Log().empty());
}

TEST_F(RuleScripts, TheLastMatchStringWinsAndRebootFlagIsSet) {
  RuleFile(Rule(
      "  <rebootFlag>2</rebootFlag>\r\n"
      "  <matches>\r\n"
      "    <match><matchString>return 1;</matchString><matchString>return "
      "2;</matchString></match>\r\n"
      "    <other><matchString>return 9;</matchString></other>\r\n"
      "    <match><matchString>\r\n      var x = 3;\r\n      return x == 3;\r\n    </matchString>"
      "<MatchString>return 8;</MatchString></match>\r\n"
      "  </matches>\r\n"));
  EXPECT_EQ(Read(), -1);
  EXPECT_EQ(Log(), (std::vector<std::string>{kStarted}));
  EXPECT_EQ(M().m_rebootFlag, 2);
  // The text node's surrounding white space is dropped, its lines are kept.
  EXPECT_EQ(Main(), Script("var x = 3;\r\n      return x == 3;"));
}

TEST_F(RuleScripts, RebootFlagTakesOnlyZeroToThree) {
  const std::pair<const char*, int> cases[] = {{"0", 0},   {"1", 1},   {"2", 2},
                                               {"3", 3},   {" 3 ", 3}, {"4", 7},
                                               {"yes", 7}, {"02", 7},  {"-1", 7}};
  for (const auto& [text, expected] : cases) {
    M().m_rebootFlag = 7;
    RuleFile(Rule(std::string("<rebootFlag>") + text + "</rebootFlag>"));
    EXPECT_EQ(Read(), -1) << text;
    EXPECT_EQ(M().m_rebootFlag, expected) << text;
  }
  EXPECT_FALSE(Main());
}

TEST_F(RuleScripts, NoMatchesWritesNoScriptButSetsTheFlag) {
  RuleFile("<Doc><WebUpdate><rebootFlag>1</rebootFlag><Matches>" + Matches("x") +
           "</Matches></WebUpdate><WebUpdate>" + Matches("y") + "</WebUpdate></Doc>");
  EXPECT_EQ(Read(), -1);
  EXPECT_EQ(M().m_rebootFlag, 1);
  EXPECT_FALSE(Main());
}

TEST_F(RuleScripts, OnlyTheFirstNodeOfASplitMatchStringIsTheBody) {
  RuleFile(Rule(Matches("var a = 1;<![CDATA[ if (a < 2) ]]>return true;")));
  EXPECT_EQ(Read(), -1);
  EXPECT_EQ(Main(), Script("var a = 1;"));
  RuleFile(Rule(Matches("\r\n  <![CDATA[  if (a < 2) return true;\r\n  return false; ]]>\r\n")));
  EXPECT_EQ(Read(), -1);
  EXPECT_EQ(Main(), Script("  if (a < 2) return true;\r\n  return false; "));
}

TEST_F(RuleScripts, EmptyMatchStringOrRebootFlagIsComError9) {
  for (const std::string& inner : {Matches(""), Matches("  "), std::string("<rebootFlag/>"),
                                   Matches("<!-- only a comment -->") + "x"}) {
    FakeMachine m([](fake::FakeFiles& f) { return fake::MakePugixmlDom(f); });
    CVRNManager manager(m.os);
    manager.m_ruleFileName = L"Rule.xml";
    m.files.AddFile(L"C:\\patch\\Rule.xml", Rule(inner));
    int error = -1;
    try {
      manager.ReadJSFromXml();
    } catch (_error e) {
      error = e;
    }
    if (inner.find("comment") != std::string::npos) {
      // A comment is a child node: its text is the (empty) body.
      EXPECT_EQ(error, -1);
      continue;
    }
    EXPECT_EQ(error, errGeneralFailure) << inner;
    EXPECT_EQ(m.LogLines(), (std::vector<std::string>{kStarted, kPointerError})) << inner;
  }
}

TEST_F(RuleScripts, MissingRuleFileIsError1) {
  M().m_ruleFileName.clear();  // no FILENAME: the path is the folder and "\"
  EXPECT_EQ(Read(), errRuleFileNotFound);
  EXPECT_EQ(Log(), (std::vector<std::string>{
                       kStarted, "CVRNManager:ReadJSFromXml  Rule file not found  Failed",
                       "CVRNManager:ReadJSFromXml  error  Failed"}));
  M().m_ruleFileName = std::wstring(10000, L'r');
  EXPECT_EQ(Read(), errRuleFileNotFound);
  RuleFile("<WebUpdate>");
  M().m_ruleFileName = L"Rule.xml";
  EXPECT_EQ(Read(), errRuleFileNotFound);
}

TEST_F(RuleScripts, NoWebUpdateIsComError9) {
  RuleFile("<webupdate>" + Matches("x") + "</webupdate>");
  EXPECT_EQ(Read(), errGeneralFailure);
  EXPECT_EQ(Log(), (std::vector<std::string>{kStarted, kPointerError}));
}

TEST(RuleScriptsDom, ComTextHasNoTrailingBlankAndOtherFailuresAreError9) {
  FakeMachine m;  // DOM not registered
  m.system.systemMessages[0x80040154u] = L"Class not registered";
  CVRNManager manager(m.os);
  EXPECT_THROW(
      {
        try {
          manager.ReadJSFromXml();
        } catch (_error e) {
          EXPECT_EQ(e, errConfigurationNotProper);
          throw;
        }
      },
      _error);
  EXPECT_EQ(m.LogLines().back(), "CVRNManager:ReadJSFromXml  Com error:  Class not registered");

  struct Throwing : port::XmlDom {
    std::unique_ptr<port::XmlDocument> CreateDocument() override { throw 42; }
  };
  FakeMachine other([](fake::FakeFiles&) { return std::make_unique<Throwing>(); });
  CVRNManager second(other.os);
  try {
    second.ReadJSFromXml();
    FAIL();
  } catch (_error e) {
    EXPECT_EQ(e, errGeneralFailure);
  }
  EXPECT_EQ(other.LogLines().back(), "CVRNManager:ReadJSFromXml  error  error unknown");
}

TEST_F(RuleScripts, ConfiguredHeaderAndFooterWrapTheMainRule) {
  m_.files.AddFile(L"C:\\patch\\QZVRN.config",
                   "<QZVRN_PARAMETERS><FILENAME>Rule.xml</FILENAME><JSCRIPTCODE>"
                   "<HEADER>function R1()\r\n{ var own = 1;</HEADER><FOOTER></FOOTER>"
                   "</JSCRIPTCODE></QZVRN_PARAMETERS>");
  RuleFile(Rule(Matches("return own == 1;")));
  ASSERT_TRUE(M().ReadConfiguration());
  EXPECT_EQ(Read(), -1);
  EXPECT_EQ(Main(), "function R1()\r\n{ var own = 1;\r\nreturn own == 1;" + kFooterBytes + "\r\n");
}

TEST_F(RuleScripts, LongBodyIsWrittenWhole) {
  const std::string body = "var s = \"" + std::string(10000, 'q') + "\";\r\nreturn true;";
  RuleFile(Rule(Matches(body)));
  EXPECT_EQ(Read(), -1);
  EXPECT_EQ(Main(), Script("var s = \"" + std::string(10000, 'q') + "\";\r\nreturn true;"));
}

}  // namespace
}  // namespace qz
