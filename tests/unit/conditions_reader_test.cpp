// ReadConditions: one rule script per condition, with the built-in header
// and footer, and each failure into its one log entry and _error value.
#include <gtest/gtest.h>

#include <unordered_set>

#include "manager/manager.h"
#include "manager/script_texts.h"
#include "common/text_file.h"
#include "platform/fake/fake_platform.h"
#include "platform/fake/xml_dom_pugixml.h"

namespace qz {
namespace {

using fake::FakeMachine;

const std::string kStarted = "CVRNManager  ReadConditions  Started";
const std::string kEnded = "CVRNManager  ReadConditions  Ended";
const std::wstring kConditions = L"C:\\patch\\QZVRN_Conditions.config";

std::wstring Widen(const char* text) {
  std::wstring out;
  for (const char* p = text; *p; ++p) out += static_cast<wchar_t>(*p);
  return out;
}

// The layout of every rule script, around the built-in texts (whose bytes
// the rule script tests check).
std::string Script(const std::string& body) {
  return EncodeEightBit(Widen(kBuiltInScriptHeader)) + "\r\n" + body +
         EncodeEightBit(Widen(kBuiltInScriptFooter)) + "\r\n";
}

std::string Details(const std::string& inner) {
  return "<?xml version=\"1.0\"?>\r\n<ROOT>\r\n<CONDITION_DETAILS>\r\n" + inner +
         "\r\n</CONDITION_DETAILS>\r\n</ROOT>\r\n";
}

class ConditionsReader : public ::testing::Test {
 protected:
  ConditionsReader() : m_([](fake::FakeFiles& f) { return fake::MakePugixmlDom(f); }) {
    manager_ = std::make_unique<CVRNManager>(m_.os);
  }
  void Conditions(const std::string& xml) { m_.files.AddFile(kConditions, xml); }
  int Read() {
    try {
      EXPECT_TRUE(manager_->ReadConditions());
      return -1;
    } catch (_error e) {
      return e;
    }
  }
  std::optional<std::string> ScriptFile(const std::wstring& id) {
    return m_.files.Contents(L"C:\\patch\\TestCode_" + id + L".js");
  }
  // Every file and folder of the machine but the log.
  std::set<std::wstring> Paths() {
    std::set<std::wstring> paths;
    for (const auto& [path, entry] : m_.files.entries) {
      if (path != L"c:\\temp\\qzzqzvrn.log") paths.insert(path);
    }
    return paths;
  }
  std::vector<std::string> Log() { return m_.LogLines(); }

  FakeMachine m_;
  std::unique_ptr<CVRNManager> manager_;
};

TEST_F(ConditionsReader, NoFileIsInfoAndTrueWithoutEndedOrScripts) {
  const auto before = Paths();
  EXPECT_EQ(Read(), -1);
  EXPECT_EQ(
      Log(),
      (std::vector<std::string>{
          kStarted, "CVRNManager:ReadConditions  QZVRN_Conditions Config file not found:   Info"}));
  EXPECT_EQ(Paths(), before);
}

TEST_F(ConditionsReader, EachConditionWithAnIdAndJscriptGetsItsScript) {
  Conditions(Details(
      "  <!-- comment -->\r\n"
      "  <CONDITION ID=\"IsOld\">\r\n    <JSCRIPT>return true;</JSCRIPT>\r\n  </CONDITION>\r\n"
      "  <CONDITION Other=\"1\" ID=\"Two\"><JSCRIPT><![CDATA[if (a < b)\r\n  return "
      "false;\r\nreturn true;\r\n]]></JSCRIPT></CONDITION>\r\n"
      "  <CONDITION><JSCRIPT>return 1;</JSCRIPT></CONDITION>\r\n"
      "  <CONDITION ID=\"\"><JSCRIPT>return 2;</JSCRIPT></CONDITION>\r\n"
      "  <CONDITION ID=\"NoScript\"><SCRIPT>return 3;</SCRIPT></CONDITION>\r\n"
      "  <CONDITION id=\"lower\"><JSCRIPT>return 4;</JSCRIPT></CONDITION>\r\n"
      "  <condition ID=\"lowerElement\"><JSCRIPT>return 5;</JSCRIPT></condition>\r\n"
      "  <CONDITION ID=\"lowerChild\"><jscript>return 6;</jscript></CONDITION>\r\n"
      "  <OTHER><CONDITION ID=\"Nested\"><JSCRIPT>return 7;</JSCRIPT></CONDITION></OTHER>\r\n"
      "  stray text\r\n"));
  const auto before = Paths();
  EXPECT_EQ(Read(), -1);
  EXPECT_EQ(Log(), (std::vector<std::string>{kStarted, kEnded}));
  EXPECT_EQ(ScriptFile(L"IsOld"), Script("return true;"));
  EXPECT_EQ(ScriptFile(L"Two"), Script("if (a < b)\r\n  return false;\r\nreturn true;\r\n"));
  // Nothing else was written.
  auto after = Paths();
  after.erase(L"c:\\patch\\testcode_isold.js");
  after.erase(L"c:\\patch\\testcode_two.js");
  EXPECT_EQ(after, before);
}

TEST_F(ConditionsReader, TheWholeConditionTextIsTheBody) {
  Conditions(Details(
      "<CONDITION ID=\"Beside\">var a = 1; <JSCRIPT>return a == 1;</JSCRIPT> // end</CONDITION>"
      "<CONDITION ID=\"Twice\"><JSCRIPT>var b = 2;</JSCRIPT><JSCRIPT>return b == "
      "2;</JSCRIPT></CONDITION>"
      "<CONDITION ID=\"Same\"><JSCRIPT>return 1;</JSCRIPT></CONDITION>"
      "<CONDITION ID=\"Same\"><JSCRIPT>return 2;</JSCRIPT></CONDITION>"));
  EXPECT_EQ(Read(), -1);
  EXPECT_EQ(ScriptFile(L"Beside"), Script("var a = 1; return a == 1; // end"));
  EXPECT_EQ(ScriptFile(L"Twice"), Script("var b = 2;return b == 2;"));
  EXPECT_EQ(ScriptFile(L"Same"), Script("return 2;"));
}

TEST_F(ConditionsReader, OnlyTheFirstDetailsElementIsRead) {
  Conditions(
      "<R><CONDITION_DETAILS><CONDITION ID='A'><JSCRIPT>a</JSCRIPT></CONDITION></CONDITION_DETAILS>"
      "<CONDITION_DETAILS><CONDITION "
      "ID='B'><JSCRIPT>b</JSCRIPT></CONDITION></CONDITION_DETAILS></R>");
  EXPECT_EQ(Read(), -1);
  EXPECT_TRUE(ScriptFile(L"A"));
  EXPECT_FALSE(ScriptFile(L"B"));
}

TEST_F(ConditionsReader, EmptyDetailsEndsWithoutScripts) {
  Conditions("<CONDITION_DETAILS/>");
  const auto before = Paths();
  EXPECT_EQ(Read(), -1);
  EXPECT_EQ(Log(), (std::vector<std::string>{kStarted, kEnded}));
  EXPECT_EQ(Paths(), before);
}

TEST_F(ConditionsReader, ConditionsReadBeforeTheConfigurationGetTheBuiltInTexts) {
  // Whatever the manager holds is what the writer uses; at this point of a
  // run that is the built-in header and footer.
  Conditions(Details("<CONDITION ID='X'><JSCRIPT>return true;</JSCRIPT></CONDITION>"));
  EXPECT_EQ(Read(), -1);
  const std::string bytes = *ScriptFile(L"X");
  EXPECT_EQ(bytes.substr(0, 63),
            "var QZRegUtil = new ActiveXObject(\"QZKelvaDiags.QZRegUtil\"); \r\n");
  EXPECT_EQ(bytes.substr(bytes.size() - 24), "WScript.quit(bResult);\r\n");
}

TEST_F(ConditionsReader, MalformedFileIsError11AfterTwoEntries) {
  for (const char* broken : {"<CONDITION_DETAILS>", "", "<a/><b/>"}) {
    Conditions(broken);
    EXPECT_EQ(Read(), errConditionsNotLoaded) << broken;
  }
  const auto log = Log();
  ASSERT_EQ(log.size(), 9u);
  EXPECT_EQ(log[1], "CVRNManager:ReadConditions  Could not load Config file  Error");
  EXPECT_EQ(log[2], "CVRNManager:ReadConditions  Unknown error:   Failed");
}

TEST_F(ConditionsReader, AFolderOfThatNameCountsAsTheFile) {
  m_.files.AddFolder(kConditions);
  EXPECT_EQ(Read(), errConditionsNotLoaded);
}

TEST_F(ConditionsReader, NoDetailsElementIsAComError9) {
  Conditions("<ROOT><condition_details/></ROOT>");
  EXPECT_EQ(Read(), errGeneralFailure);
  EXPECT_EQ(Log(),
            (std::vector<std::string>{
                kStarted, "CVRNManager:ReadConditions  Com error:   Unknown error 0x80004003"}));
}

TEST(ConditionsReaderDom, UnregisteredDomIsError0) {
  FakeMachine m;  // its DOM is not registered
  m.files.AddFile(kConditions, "<CONDITION_DETAILS/>");
  m.system.systemMessages[0x80040154u] = L"Class not registered";
  CVRNManager manager(m.os);
  int error = -1;
  try {
    manager.ReadConditions();
  } catch (_error e) {
    error = e;
  }
  EXPECT_EQ(error, errConfigurationNotProper);
  EXPECT_EQ(m.LogLines(),
            (std::vector<std::string>{
                kStarted, "CVRNManager:ReadConditions  Com error:   Class not registered"}));
}

TEST_F(ConditionsReader, IdsThatCouldLeaveTheFolderAreRefusedAndWriteNothing) {
  const std::vector<std::string> refused = {
      "..\\evil", "../evil", "sub\\x", "sub/x", "C:x", "C:\\x", "a:b", "..",
      "x..y",     "a<b",     "a>b",    "a\"b",  "a|b", "a?b",   "a*b", "\\\\server\\share\\x"};
  std::string inner;
  for (const std::string& id : refused) {
    std::string escaped;
    for (char c : id)
      escaped += c == '<'   ? std::string("&lt;")
                 : c == '"' ? std::string("&quot;")
                            : std::string(1, c);
    inner += "<CONDITION ID=\"" + escaped +
             "\"><JSCRIPT>return true;</JSCRIPT><JSCRIPT>x</JSCRIPT></CONDITION>";
  }
  inner += "<CONDITION ID=\"Fine.Name-1 \u00e9\"><JSCRIPT>return true;</JSCRIPT></CONDITION>";
  Conditions(Details(inner));
  m_.files.AddFolder(L"C:\\patch\\sub");
  const auto before = Paths();
  EXPECT_EQ(Read(), -1);
  std::vector<std::string> expected = {kStarted};
  for (const std::string& id : refused) {
    expected.push_back("CVRNManager:ReadConditions  Condition ID refused:   " + id);
  }
  expected.push_back(kEnded);
  EXPECT_EQ(Log(), expected);
  auto after = Paths();
  EXPECT_EQ(after.erase(fake::Fold(L"C:\\patch\\TestCode_Fine.Name-1 \u00e9.js")), 1u);
  EXPECT_EQ(after, before);
}

TEST_F(ConditionsReader, AControlCharacterIdIsRefused) {
  // Only character references survive attribute normalisation as tab or
  // line feed; XML allows no other control character.
  Conditions(
      Details("<CONDITION ID=\"a&#9;b\"><JSCRIPT>x</JSCRIPT></CONDITION>"
              "<CONDITION ID=\"c&#10;d\"><JSCRIPT>x</JSCRIPT></CONDITION>"));
  const auto before = Paths();
  EXPECT_EQ(Read(), -1);
  EXPECT_EQ(Log()[1], "CVRNManager:ReadConditions  Condition ID refused:   a\tb");
  EXPECT_EQ(Log()[2], "CVRNManager:ReadConditions  Condition ID refused:   c?d");
  EXPECT_EQ(Paths(), before);
}

TEST_F(ConditionsReader, LongBodiesAndManyConditionsAreWrittenWhole) {
  const std::string body(10000, 'y');
  std::string inner;
  for (int i = 0; i < 2000; ++i) {
    inner += "<CONDITION ID=\"C" + std::to_string(i) + "\"><JSCRIPT>" + (i == 7 ? body : "z") +
             "</JSCRIPT></CONDITION>";
  }
  Conditions(Details(inner));
  EXPECT_EQ(Read(), -1);
  EXPECT_EQ(ScriptFile(L"C7"), Script(body));
  EXPECT_EQ(ScriptFile(L"C1999"), Script("z"));
  EXPECT_EQ(m_.files.OpenHandles(), 1u);  // only the log stays open
}

TEST_F(ConditionsReader, DeepNestingInsideAConditionIsPartOfItsBody) {
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<n>";
  deep += "return 1;";
  for (int i = 0; i < 100000; ++i) deep += "</n>";
  std::string wrapped;
  for (int i = 0; i < 50000; ++i) wrapped += "<w>";
  wrapped += "<CONDITION_DETAILS><CONDITION ID='D'><JSCRIPT>var d;</JSCRIPT>" + deep +
             "</CONDITION></CONDITION_DETAILS>";
  for (int i = 0; i < 50000; ++i) wrapped += "</w>";
  Conditions(wrapped);
  EXPECT_EQ(Read(), -1);
  EXPECT_EQ(ScriptFile(L"D"), Script("var d;return 1;"));
}

// A condition whose script cannot be prepared is logged and remembered:
// its entries are then not applied (update_test.cpp).
TEST_F(ConditionsReader, AScriptThatCannotBePreparedIsLoggedAndRemembered) {
  const std::wstring longId(250, L'L');
  Conditions(
      Details("<CONDITION ID='X'><JSCRIPT>return true;</JSCRIPT></CONDITION>"
              "<CONDITION ID='" +
              fake::Narrow(longId) + "'><JSCRIPT>return false;</JSCRIPT></CONDITION>"));
  m_.files.unwritableFolders.insert(fake::Fold(L"C:\\patch"));
  EXPECT_EQ(Read(), -1);
  EXPECT_EQ(
      Log(),
      (std::vector<std::string>{
          kStarted, "CVRNManager:ReadConditions  Condition script not written:   X",
          "CVRNManager:ReadConditions  Condition ID refused:   " + fake::Narrow(longId), kEnded}));
  EXPECT_FALSE(ScriptFile(L"X"));
  EXPECT_EQ(manager_->m_unpreparedConditions,
            (std::unordered_set<std::wstring>{L"X", fake::UpperCase(longId)}));
}

}  // namespace
}  // namespace qz
