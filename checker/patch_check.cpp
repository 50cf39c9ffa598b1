#include "checker/patch_check.h"
#include "common/manager_contract.h"

#include "checker/reader_run.h"
#include "checker/rules.h"
#include "common/utf8.h"
#include "checker/xml_tree.h"
#include "manager/patch_names.h"

namespace qz::check {

namespace {

constexpr const wchar_t* kConfigName = contract::kConfigFile;
constexpr const wchar_t* kConditionsName = contract::kConditionsFile;

long CountLines(const std::wstring& text) {
  long lines = 1;
  for (wchar_t c : text) lines += c == L'\n';
  return lines;
}

class Checker {
 public:
  explicit Checker(CheckEnvironment& env) : env_(env) {}

  CheckResult Run() {
    PatchFacts facts;
    const XmlFile conditions = Load(kConditionsName);
    CheckConditionsFile(At(kConditionsName), conditions, facts);
    const XmlFile config = Load(kConfigName);
    PatchView view{env_.sourceFolder,
                   [&](const std::wstring& name) { return env_.folder.Exists(name); }};
    CheckConfigurationFile(At(kConfigName), config, view, facts);
    if (facts.ruleFileNamed && !facts.ruleFileName.empty() &&
        !StaysInsideFolder(facts.ruleFileName)) {
      At(kConfigName)
          .Warning(facts.ruleFileLine, "rule-file-outside",
                   "rule file " + Quoted(facts.ruleFileName) +
                       " lies outside the patch folder: it is read from there, not "
                       "checked, and never cleaned up");
    } else if (facts.ruleFileNamed && !facts.ruleFileName.empty()) {
      const XmlFile rules = Load(facts.ruleFileName);
      if (!rules.found) {
        At(kConfigName)
            .Error(facts.ruleFileLine, "rule-file-missing",
                   "rule file " + Quoted(facts.ruleFileName) + " is not in the patch folder");
      }
      CheckRuleFile(At(facts.ruleFileName), rules, facts);
    }
    // The readers get no document that has a document type, as the
    // checker's own loads do not.
    DoctypeRefusingDom xml(env_.os.xml, env_.fileAt);
    port::Platform& os = env_.os;
    port::Platform guarded{os.system, os.files,    os.registry, os.processes, os.modules,
                           os.com,    xml,         os.ui,       os.resources, os.installer,
                           os.shell,  os.shutdown, os.sync};
    const ReaderRun run = RunManagerReaders(guarded);
    if (run.error && result_.report.ExitStatus() < 2) {
      // The checks above should have named the cause; say at least what
      // the manager does.
      const std::wstring file = run.failedStep == L"ReadConditions"  ? kConditionsName
                                : run.failedStep == L"ReadJSFromXml" ? facts.ruleFileName
                                                                     : kConfigName;
      At(file).Error(1, "manager-refuses",
                     ToUtf8(run.failedStep) + " fails: " + ErrorMeaning(*run.error));
    }
    CheckScripts(run, facts);
    return std::move(result_);
  }

 private:
  Place At(const std::wstring& name) {
    std::wstring shown = name;
    for (wchar_t& c : shown) {
      if (c == L'\\' || c == L'/') c = static_cast<wchar_t>(env_.separator);
    }
    std::string folder = env_.shownFolder;
    if (!folder.empty() && folder.back() != env_.separator && folder.back() != '/') {
      folder += env_.separator;
    }
    return Place{result_.report, folder + ToUtf8(shown)};
  }

  XmlFile Load(const std::wstring& name) {
    return LoadXmlFile(env_.os.xml, env_.sourceFolder + L"\\" + name, env_.folder.Read(name));
  }

  void CheckScripts(const ReaderRun& run, const PatchFacts& facts) {
    const std::string why = env_.host.Unavailable();
    if (!why.empty()) {
      if (!facts.scriptLines.empty()) {
        result_.notes.push_back("JScript syntax check skipped: " + why);
      }
      return;
    }
    for (const auto& [name, bodyLine] : facts.scriptLines) {
      const auto bytes = env_.written(name);
      if (!bytes) continue;
      const bool main = name == RuleScriptName(L"Main");
      const std::wstring& header = main ? run.mainHeader : run.conditionsHeader;
      const std::wstring file = main ? facts.ruleFileName : kConditionsName;
      const SyntaxResult result = env_.host.Check(DecodeScript(*bytes));
      if (result.kind == SyntaxResult::kNotRun) {
        result_.notes.push_back("JScript syntax check of " + ToUtf8(name) +
                                " not run: " + result.message);
      } else if (result.kind == SyntaxResult::kError) {
        // The body starts after the header, on the line of its element; a
        // host that names no line leaves it there.
        const long bodyLine = result.line - CountLines(header);
        const long elementLine = facts.scriptLines.at(name);
        At(file).Error(
            bodyLine >= 1 ? elementLine + bodyLine - 1 : elementLine, "script-syntax",
            "JScript syntax error in the rule of " + ToUtf8(name) + ": " + result.message);
      }
    }
  }

  CheckEnvironment& env_;
  CheckResult result_;
};

}  // namespace

CheckResult CheckPatch(CheckEnvironment& environment) { return Checker(environment).Run(); }

Options ParseArguments(const std::vector<std::string>& arguments) {
  Options options;
  for (const std::string& a : arguments) {
    if (a == "--json") {
      options.json = true;
    } else if (!a.empty() && a[0] == '-' && a != "-") {
      options.usageError = "unknown option " + a;
    } else if (options.folder.empty()) {
      options.folder = a;
    } else {
      options.usageError = "more than one folder";
    }
  }
  if (options.folder.empty() && options.usageError.empty()) options.usageError = "no folder";
  return options;
}

int Finish(const CheckResult& result, bool json, std::ostream& out, std::ostream& err) {
  out << (json ? result.report.Json() : result.report.Text());
  for (const std::string& note : result.notes) err << "qzvrn-check: note: " << note << "\n";
  return result.report.ExitStatus();
}

}  // namespace qz::check
