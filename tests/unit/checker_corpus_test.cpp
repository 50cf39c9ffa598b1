// The patch checker over a corpus of broken patches: each is the sample
// patch with one trap put in, and the finding it must give (code and line).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "checker/native_check.h"
#include "checker/script_host.h"
#include "tests/unit/utf16_bytes.h"

namespace fs = std::filesystem;

namespace {

using qz::rig::Utf16;

struct Edit {
  const char* file;
  std::string from;  // empty: the whole file becomes `to`
  std::string to;
};

struct Trap {
  const char* name;
  std::vector<Edit> edits;
  std::vector<std::string> findings;  // "FILE:LINE: severity [code]"
  int status;
};

void PrintTo(const Trap& trap, std::ostream* os) { *os << trap.name; }

const std::string kArgs = "<EXECUTION_REQUIRED>TRUE</EXECUTION_REQUIRED>\n<ARGUMENTS>" +
                          std::string(300, 'a') + "</ARGUMENTS>";
// "C:\patch\QZZdemo.ini " and these make 255 characters: one too many for
// the process runner.
const std::string kArgs255 = "<EXECUTION_REQUIRED>TRUE</EXECUTION_REQUIRED>\n<ARGUMENTS>" +
                             std::string(234, 'a') + "</ARGUMENTS>";
// "C:\patch\" and this make a program path of 259 characters.
const std::string kLongName = std::string(246, 'p') + ".exe";
const std::string kRegKey =
    "<INSTALLPATH_REGKEY Key=\"SOFTWARE\\QZ\\QZ Demo Driver\" Value=\"InstallDir\" Path=\"\"/>";
const std::string kConditions = R"(<?xml version="1.0"?>
<QZVRN_CONDITIONS>
  <CONDITION_DETAILS>
    <CONDITION ID="A"><JSCRIPT>return true;</JSCRIPT></CONDITION>
    <CONDITION
      ID="a"><JSCRIPT>return false;</JSCRIPT></CONDITION>
    <CONDITION ID="x/y"><JSCRIPT>return true;</JSCRIPT></CONDITION>
  </CONDITION_DETAILS>
</QZVRN_CONDITIONS>
)";

// The longest condition ID whose script name ("TestCode_" ID ".js") fits
// in a file name, and one a character longer.
const std::string kLongestId(243, 'i');
const std::string kTooLongId(244, 'i');
const std::string kLongIds =
    "<?xml version=\"1.0\"?>\n<CONDITION_DETAILS>\n<CONDITION ID=\"" + kLongestId +
    "\"><JSCRIPT>return true;</JSCRIPT></CONDITION>\n<CONDITION ID=\"" + kTooLongId +
    "\"><JSCRIPT>return true;</JSCRIPT></CONDITION>\n</CONDITION_DETAILS>\n";

const char kConfig[] = "QZVRN.config";
const char kRules[] = "QZVRN_Rules.xml";
const char kConditionsFile[] = "QZVRN_Conditions.config";

const Trap kTraps[] = {
    {"clean sample", {}, {}, 0},
    {"SILENT_MODE 1",
     {{kConfig, "<SILENT_MODE>FALSE", "<SILENT_MODE>1"}},
     {"QZVRN.config:14: warning [boolean-value]"},
     1},
    {"EXECUTION_REQUIRED yes",
     {{kConfig, "<COMREG_REQUIRED>FALSE</COMREG_REQUIRED>",
       "<EXECUTION_REQUIRED>yes</EXECUTION_REQUIRED>"}},
     {"QZVRN.config:21: warning [boolean-value]"},
     1},
    {"element in other case",
     {{kConfig, "<CLEANUP_RECURSIVE>FALSE</CLEANUP_RECURSIVE>",
       "<Cleanup_Recursive>FALSE</Cleanup_Recursive>"}},
     {"QZVRN.config:32: warning [element-case]"},
     1},
    {"attribute in other case",
     {{kConfig, "<PATCH_DETAILS>", "<PATCH_DETAILS\n condition_ref=\"A\">"}},
     {"QZVRN.config:17: warning [attribute-case]"},
     1},
    {"unknown element",
     {{kConfig, "SHOWFINAL_SUCCESSMSG>TRUE</SHOWFINAL_SUCCESSMSG",
       "SHOWFINAL_SUCCESMSG>TRUE</SHOWFINAL_SUCCESMSG"}},
     {"QZVRN.config:31: warning [unknown-element]"},
     1},
    {"second parameter block",
     {{kConfig, "<QZVRN_PARAMETERS>\n", "<PATCH><QZVRN_PARAMETERS>\n"},
      {kConfig, "</QZVRN_PARAMETERS>", "</QZVRN_PARAMETERS><QZVRN_PARAMETERS/></PATCH>"}},
     {"QZVRN.config:33: warning [second-parameter-block]"},
     1},
    {"OS typo",
     {{kConfig, "Windows Vista (32bit)", "Windows Vista(32bit)"}},
     {"QZVRN.config:11: warning [unknown-os]"},
     1},
    {"no known OS",
     {{kConfig, "Windows XP (32bit)", "Windows 7"},
      {kConfig, "    <OS>Windows Vista (32bit)</OS>\n    <OS>Windows Vista (64bit)</OS>\n", ""}},
     {"QZVRN.config:9: warning [no-known-os]", "QZVRN.config:10: warning [unknown-os]"},
     1},
    {"undefined Condition_Ref",
     {{kConfig, "<PATCH_DETAILS>", "<PATCH_DETAILS\n Condition_Ref=\"NotDefined\">"}},
     {"QZVRN.config:17: warning [undefined-condition]"},
     1},
    {"rebootFlag 4",
     {{kRules, "<rebootFlag>0<", "<rebootFlag>4<"}},
     {"QZVRN_Rules.xml:3: warning [reboot-flag-value]"},
     1},
    {"patch file with a folder part",
     {{kConfig, ">QZZdemo.ini<", ">sub\\QZZdemo.ini<"}, {"sub/QZZdemo.ini", "", "[QZ]"}},
     {"QZVRN.config:17: warning [file-folder-part]"},
     1},
    // The second entry's edit comes first: the first's writes the text it
    // looks for.
    {"program and plug-in entries with elements of other kinds",
     {{kConfig, "<COMREG_REQUIRED>TRUE</COMREG_REQUIRED>",
       "<PROGID>QZ.Plugin</PROGID>\n<ARGUMENTS>/s</ARGUMENTS>\n"
       "<COMREG_REQUIRED>TRUE</COMREG_REQUIRED>"},
      {kConfig, "<COMREG_REQUIRED>FALSE</COMREG_REQUIRED>",
       "<EXECUTION_REQUIRED>TRUE</EXECUTION_REQUIRED>\n<COMREG_REQUIRED>TRUE</COMREG_REQUIRED>\n"
       "<PROGID>QZ.Plugin</PROGID>\n<PARAMETERS/>\n<ASMREG_REQUIRED>TRUE</ASMREG_REQUIRED>"}},
     {"QZVRN.config:18: warning [ignored-regkeys]",
      "QZVRN.config:22: warning [comreg-not-installed]",
      "QZVRN.config:23: warning [ignored-progid]", "QZVRN.config:24: warning [ignored-parameters]",
      "QZVRN.config:25: warning [ignored-asmreg]", "QZVRN.config:29: warning [ignored-regkeys]",
      "QZVRN.config:32: warning [plugin-entry]", "QZVRN.config:33: warning [ignored-arguments]",
      "QZVRN.config:34: warning [comreg-not-installed]"},
     1},
    // The same for file entries; NULL arguments ask for nothing. An empty
    // REGKEYS is at fault itself, an entry without one as a whole.
    {"file entries with elements of other kinds and nothing to locate them",
     {{kConfig, kRegKey, ""},
      {kConfig, "<COMREG_REQUIRED>FALSE</COMREG_REQUIRED>",
       "<ARGUMENTS>/s</ARGUMENTS>\n<PARAMETERS><PARAMETER/></PARAMETERS>\n"
       "<ASMREG_REQUIRED>TRUE</ASMREG_REQUIRED>"},
      {kConfig, "<REGKEYS>\n        " + kRegKey + "\n      </REGKEYS>",
       "<ARGUMENTS>null</ARGUMENTS>"}},
     {"QZVRN.config:18: error [no-install-location]",
      "QZVRN.config:21: warning [ignored-arguments]",
      "QZVRN.config:22: warning [ignored-parameters]", "QZVRN.config:23: warning [ignored-asmreg]",
      "QZVRN.config:25: error [no-install-location]"},
     2},
    {"rule file without matchString",
     {{kRules, "", "<WebUpdate>\n<rebootFlag>0</rebootFlag>\n</WebUpdate>\n"}},
     {"QZVRN_Rules.xml:1: warning [no-match-string]"},
     1},
    {"duplicate and refused condition IDs",
     {{kConditionsFile, "", kConditions}},
     {"QZVRN_Conditions.config:6: warning [duplicate-condition]",
      "QZVRN_Conditions.config:7: error [refused-condition-id]"},
     2},
    {"not well-formed",
     {{kConfig, "</OSVERSION>", "</OSVERSIONS>"}},
     {"QZVRN.config:13: error [xml-malformed]"},
     2},
    {"empty FILENAME",
     {{kConfig, ">QZVRN_Rules.xml<", "><"}},
     {"QZVRN.config:8: error [empty-value]"},
     2},
    {"missing patch file",
     {{"QZZdemo.dll", "", "-"}},
     {"QZVRN.config:24: error [missing-patch-file]"},
     2},
    {"file name leaving the folder",
     {{kConfig, ">QZZdemo.ini<", ">..\\QZZdemo.ini<"}},
     {"QZVRN.config:17: error [refused-file-name]"},
     2},
    // The arguments make the first too long, the program's path the second.
    {"over-long command line and program path",
     {{kConfig, "<COMREG_REQUIRED>FALSE</COMREG_REQUIRED>", kArgs},
      {kConfig, ">QZZdemo.dll<", ">" + kLongName + "<"},
      {kLongName.c_str(), "", "MZ"},
      {kConfig, "<COMREG_REQUIRED>TRUE</COMREG_REQUIRED>",
       "<EXECUTION_REQUIRED>TRUE</EXECUTION_REQUIRED><ARGUMENTS>/s</ARGUMENTS>"}},
     {"QZVRN.config:18: warning [ignored-regkeys]",
      "QZVRN.config:22: error [command-line-too-long]",
      "QZVRN.config:25: error [command-line-too-long]",
      "QZVRN.config:26: warning [ignored-regkeys]"},
     2},
    {"command line of 255 characters",
     {{kConfig, "<COMREG_REQUIRED>FALSE</COMREG_REQUIRED>", kArgs255}},
     {"QZVRN.config:18: warning [ignored-regkeys]",
      "QZVRN.config:22: error [command-line-too-long]"},
     2},
    {"forward slash in a patch file name",
     {{kConfig, ">QZZdemo.ini<", ">sub/QZZdemo.ini<"}, {"sub/QZZdemo.ini", "", "[QZ]"}},
     {"QZVRN.config:17: warning [forward-slash]"},
     1},
    {"rule file outside the folder",
     {{kConfig, ">QZVRN_Rules.xml<", ">..\\r.xml<"}},
     // Not there either: the manager's own reader says so.
     {"r.xml:1: error [manager-refuses]", "QZVRN.config:8: warning [rule-file-outside]"},
     2},
    {"registry location with two attributes",
     {{kConfig, "Value=\"InstallDir\" Path=\"\"/>\n      </REGKEYS>\n      <COMREG_REQUIRED>FALSE",
       "Value=\"InstallDir\"/>\n      </REGKEYS>\n      <COMREG_REQUIRED>FALSE"}},
     {"QZVRN.config:19: error [regkey-attributes]"},
     2},
    {"missing rule file",
     {{kConfig, ">QZVRN_Rules.xml<", ">Missing.xml<"}},
     {"QZVRN.config:8: error [rule-file-missing]"},
     2},
    {"rule file without WebUpdate",
     {{kRules, "", "<webupdate/>"}},
     {"QZVRN_Rules.xml:1: error [missing-element]"},
     2},
    // What the manager refuses outright: document types (never given to
    // a DOM, whatever the encoding), names that cannot be a script file,
    // install paths that leave the install folder.
    {"document type in the configuration",
     {{kConfig, "<QZVRN_PARAMETERS>\n",
       "<!DOCTYPE QZVRN_PARAMETERS [\n<!ENTITY x SYSTEM \"file:///etc/hostname\">\n]>\n"
       "<QZVRN_PARAMETERS>\n"}},
     {"QZVRN.config:7: error [xml-doctype]"},
     2},
    {"document type in the conditions file",
     {{kConditionsFile, "",
       "<?xml version=\"1.0\"?>\n<!DOCTYPE c SYSTEM \"http://example.invalid/c.dtd\">\n"
       "<CONDITION_DETAILS/>\n"}},
     {"QZVRN_Conditions.config:2: error [xml-doctype]"},
     2},
    {"document type in a UTF-16 rule file without a mark",
     {{kRules, "",
       Utf16("<!-- <!DOCTYPE in a comment is none -->\n<!doctype WebUpdate [<!ENTITY e \"x\">]>\n"
             "<WebUpdate/>\n",
             false)}},
     {"QZVRN_Rules.xml:2: error [xml-doctype]"},
     2},
    {"condition IDs and references too long for a script name",
     {{kConditionsFile, "", kLongIds},
      {kConfig, "<PATCH_DETAILS>", "<PATCH_DETAILS Condition_Ref=\"" + kLongestId + "\">"},
      {kConfig, "<PATCH_DETAILS>", "<PATCH_DETAILS Condition_Ref=\"" + kTooLongId + "\">"}},
     {"QZVRN.config:23: error [refused-condition-ref]",
      "QZVRN_Conditions.config:4: error [condition-id-too-long]"},
     2},
    {"Condition_Ref that cannot name a script file",
     {{kConfig, "<PATCH_DETAILS>", "<PATCH_DETAILS Condition_Ref=\"..\\evil\">"},
      {kConfig, "<PATCH_DETAILS>", "<PATCH_DETAILS Condition_Ref=\"C:evil\">"}},
     {"QZVRN.config:16: error [refused-condition-ref]",
      "QZVRN.config:23: error [refused-condition-ref]"},
     2},
    // A program looks no install folder up: its path is only ignored.
    {"install paths leaving the install folder",
     {{kConfig, "Path=\"\"", "Path=\"..\\up\""},
      {kConfig, "Path=\"\"", "Path=\"C:\\x\""},
      {kConfig, "<COMREG_REQUIRED>TRUE</COMREG_REQUIRED>",
       "<EXECUTION_REQUIRED>TRUE</EXECUTION_REQUIRED>"}},
     {"QZVRN.config:19: error [refused-install-path]",
      "QZVRN.config:25: warning [ignored-regkeys]"},
     2},
};

std::string ReadText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class CheckerCorpus : public testing::TestWithParam<Trap> {
 protected:
  fs::path MakePatch(const Trap& trap) {
    const fs::path d =
        fs::temp_directory_path() /
        ("qzvrn-check-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
         std::to_string(reinterpret_cast<std::uintptr_t>(&trap)));
    fs::remove_all(d);
    fs::copy(fs::path(QZ_SOURCE_DIR) / "samples" / "demo-patch", d, fs::copy_options::recursive);
    std::ofstream(d / "QZZdemo.dll") << "MZ";
    for (const Edit& e : trap.edits) {
      const fs::path file = d / e.file;
      if (e.to == "-") {
        fs::remove(file);
        continue;
      }
      std::string text = fs::exists(file) ? ReadText(file) : std::string();
      if (e.from.empty()) {
        text = e.to;
      } else {
        const std::size_t at = text.find(e.from);
        EXPECT_NE(at, std::string::npos) << e.from;
        if (at != std::string::npos) text.replace(at, e.from.size(), e.to);
      }
      fs::create_directories(file.parent_path());
      std::ofstream(file, std::ios::binary) << text;
    }
    folder_ = d;
    return d;
  }
  void TearDown() override {
    if (!folder_.empty()) fs::remove_all(folder_);
  }
  fs::path folder_;
};

// "FILE:LINE: severity [code]" of every finding, the file without folder.
std::vector<std::string> Findings(const std::string& output) {
  std::vector<std::string> found;
  const std::regex line(R"(^.*/([^/:]+):(\d+): (error|warning): .* \[([a-z-]+)\]$)");
  std::istringstream in(output);
  for (std::string text; std::getline(in, text);) {
    std::smatch m;
    if (std::regex_match(text, m, line)) {
      found.push_back(m[1].str() + ":" + m[2].str() + ": " + m[3].str() + " [" + m[4].str() + "]");
    } else {
      found.push_back("unparsed: " + text);
    }
  }
  return found;
}

TEST_P(CheckerCorpus, ReportsItsTrapWithCodeAndLine) {
  const Trap& trap = GetParam();
  const fs::path d = MakePatch(trap);
  std::ostringstream out, err;
  const int status = qz::check::NativeCheck({d.string()}, out, err);
  EXPECT_EQ(Findings(out.str()), trap.findings) << out.str();
  EXPECT_EQ(status, trap.status);
  // The readers ran against memory: nothing was written to the folder.
  for (const auto& entry : fs::directory_iterator(d)) {
    EXPECT_EQ(entry.path().filename().string().rfind("TestCode_", 0), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(Traps, CheckerCorpus, testing::ValuesIn(kTraps),
                         [](const testing::TestParamInfo<Trap>& info) {
                           std::string name;
                           for (char c : std::string(info.param.name)) {
                             name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           }
                           return name;
                         });

// A script host that reports a syntax error on the line holding a marker.
class MarkerHost : public qz::check::ScriptHost {
 public:
  std::string Unavailable() override { return {}; }
  qz::check::SyntaxResult Check(const std::wstring& script) override {
    long line = 1;
    const std::size_t at = script.find(L"SYNTAX_ERROR");
    if (at == std::wstring::npos) return {qz::check::SyntaxResult::kClean, 0, {}};
    for (std::size_t i = 0; i < at; ++i) line += script[i] == L'\n';
    return {qz::check::SyntaxResult::kError, line, "Expected ';'"};
  }
};

TEST_F(CheckerCorpus, SyntaxErrorIsReportedOnItsLineOfTheRuleFile) {
  const Trap trap{"syntax", {{kRules, "  ini.Close();", "  ini.Close() SYNTAX_ERROR"}}, {}, 2};
  const fs::path d = MakePatch(trap);
  MarkerHost host;
  std::ostringstream out, err;
  EXPECT_EQ(qz::check::NativeCheck({"--json", d.string()}, out, err, &host), 2);
  EXPECT_NE(out.str().find("QZVRN_Rules.xml\", \"line\": 13, \"severity\": \"error\", "
                           "\"code\": \"script-syntax\""),
            std::string::npos)
      << out.str();
}

TEST_F(CheckerCorpus, DeeplyNestedConditionsGetAVerdict) {
  constexpr int kDepth = 50000;
  std::string nested;
  for (int i = 0; i < kDepth; ++i) nested += "<n>";
  nested +=
      "<CONDITION_DETAILS><CONDITION ID=\"Deep\"><JSCRIPT>return true;</JSCRIPT>"
      "</CONDITION></CONDITION_DETAILS>";
  for (int i = 0; i < kDepth; ++i) nested += "</n>";
  const fs::path d = MakePatch({"deep", {{kConditionsFile, "", nested}}, {}, 0});
  std::ostringstream out, err;
  EXPECT_EQ(qz::check::NativeCheck({d.string()}, out, err), 0) << out.str() << err.str();
}

}  // namespace
