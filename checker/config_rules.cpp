// QZVRN.config: what ReadConfiguration refuses (errors) and what it reads
// differently from what the text suggests (warnings).
#include <algorithm>
#include <cwctype>
#include <map>

#include "checker/rules.h"
#include "manager/config_schema.h"
#include "common/utf8.h"
#include "common/text_compare.h"
#include "manager/patch_names.h"

namespace qz::check {

namespace {

// The table's names, and those of its booleans.
std::vector<std::wstring> Names(const schema::Element* begin, const schema::Element* end,
                                bool booleansOnly) {
  std::vector<std::wstring> names;
  for (const schema::Element* e = begin; e != end; ++e) {
    if (!booleansOnly || e->kind == schema::Kind::kBoolean) names.push_back(e->name);
  }
  return names;
}
const std::vector<std::wstring> kBlockNames =
    Names(std::begin(schema::kParameters), std::end(schema::kParameters), false);
const std::vector<std::wstring> kBlockBooleans =
    Names(std::begin(schema::kParameters), std::end(schema::kParameters), true);
const std::vector<std::wstring> kEntryNames =
    Names(std::begin(schema::kEntry), std::end(schema::kEntry), false);
const std::vector<std::wstring> kEntryBooleans =
    Names(std::begin(schema::kEntry), std::end(schema::kEntry), true);

// How the update walks an entry, decided in this order.
enum EntryKind : unsigned { kProgram = 1, kPlugin = 2, kFile = 4 };

const char* KindName(EntryKind kind) {
  return kind == kProgram ? "a program" : kind == kPlugin ? "a plug-in entry" : "a file entry";
}

// Elements that some kinds of entry read but never act on.
struct Unused {
  const wchar_t* element;
  unsigned kinds;  // the kinds that pass over it
  const char* code;
  const char* entry;  // what those entries do instead, as the message says it
  const char* effect;
};
const Unused kUnused[] = {
    {schema::kComRegRequired, kProgram | kPlugin, "comreg-not-installed", "is not installed",
     "nothing is registered"},
    {schema::kRegKeys, kProgram | kPlugin, "ignored-regkeys", "is not installed",
     "no install folder is looked up"},
    {schema::kArguments, kPlugin | kFile, "ignored-arguments", "is not run",
     "no program gets them"},
    {schema::kProgId, kProgram, "ignored-progid", "is run", "the plug-in hook is not called"},
    {schema::kParametersList, kProgram | kFile, "ignored-parameters", "goes to no plug-in hook",
     "nothing reads them"},
    {schema::kAsmRegRequired, kProgram | kFile, "ignored-asmreg", "goes to no plug-in hook",
     "nothing reads it"},
};

bool Contains(const std::vector<std::wstring>& list, const std::wstring& name) {
  for (const std::wstring& n : list) {
    if (n == name) return true;
  }
  return false;
}

class ConfigChecker {
 public:
  ConfigChecker(const Place& place, const PatchView& view, PatchFacts& facts)
      : place_(place), view_(view), facts_(facts) {}

  void Block(const XmlElement& block) {
    CheckChildNames(place_, block, kBlockNames);
    for (const XmlElement& child : block.children) {
      if (!Contains(kBlockNames, child.name)) continue;
      if (child.name == schema::kOsVersion) {
        OsList(child);
      } else if (child.name == schema::kUpdates) {
        CheckChildNames(place_, child, {schema::kPatchDetails});
        for (const XmlElement& patch : child.children) {
          if (patch.name == schema::kPatchDetails) Entry(patch);
        }
      } else if (child.name == schema::kJScriptCode) {
        CheckChildNames(place_, child, {schema::kHeader, schema::kFooter});
      } else {
        Scalar(child, seen_);
        if (child.name == schema::kFileName && child.Value()) {
          facts_.ruleFileName = *child.Value();
          facts_.ruleFileLine = child.line;
          facts_.ruleFileNamed = true;
        }
        if (Contains(kBlockBooleans, child.name)) Boolean(child);
      }
    }
    if (osCount_ > 0 && knownOs_ == 0) {
      place_.Warning(osLine_, "no-known-os",
                     "the OS list names no system the manager knows: every machine is refused");
    }
    if (!facts_.ruleFileNamed && seen_.count(schema::kFileName) == 0) {
      place_.Error(block.line, "no-rule-file",
                   "no FILENAME: the rule file cannot be found (the run ends with the "
                   "rule-file message)");
    }
  }

 private:
  // A value element: its first child node is the value; none fails the
  // whole file. A repeated one overwrites the earlier value.
  bool Scalar(const XmlElement& e, std::map<std::wstring, long>& seen) {
    const auto earlier = seen.find(e.name);
    if (earlier != seen.end()) {
      place_.Warning(e.line, "repeated-element",
                     ToUtf8(e.name) + " again: it replaces the value of line " +
                         std::to_string(earlier->second));
    }
    seen[e.name] = e.line;
    if (!e.Value()) {
      place_.Error(e.line, "empty-value",
                   ToUtf8(e.name) +
                       " is empty: the manager stops reading the configuration "
                       "(general failure)");
      return false;
    }
    return true;
  }

  void Boolean(const XmlElement& e) {
    const std::optional<std::wstring>& value = e.Value();
    if (!value) return;
    if (EqualsIgnoringCase(*value, L"TRUE") || EqualsIgnoringCase(*value, L"FALSE")) return;
    place_.Warning(e.line, "boolean-value",
                   ToUtf8(e.name) + " " + Shortened(*value) +
                       " reads as FALSE: only TRUE (in any case) is true");
  }

  void OsList(const XmlElement& list) {
    CheckChildNames(place_, list, {schema::kOs});
    if (osLine_ == 0) osLine_ = list.line;
    const std::vector<std::wstring> known = KnownOsNames();
    for (const XmlElement& os : list.children) {
      if (os.name != schema::kOs) continue;
      if (os.Text().empty()) {
        place_.Warning(os.line, "empty-os", "an empty OS element is skipped");
        continue;
      }
      ++osCount_;
      const std::wstring value = os.Value().value_or(std::wstring());
      bool matched = false;
      for (const std::wstring& k : known) matched = matched || EqualsIgnoringCase(k, value);
      if (matched) {
        ++knownOs_;
        continue;
      }
      std::string hint;
      std::size_t best = 0;
      for (const std::wstring& k : known) {
        std::size_t common = 0;
        while (common < k.size() && common < value.size() &&
               std::towupper(k[common]) == std::towupper(value[common])) {
          ++common;
        }
        if (common > best && common >= 8) {
          best = common;
          hint = "; did you mean " + Quoted(k) + "?";
        }
      }
      place_.Warning(os.line, "unknown-os",
                     "OS " + Shortened(value) +
                         " is no system the manager knows: it drops out of the list" + hint);
    }
  }

  void Entry(const XmlElement& patch) {
    CheckChildNames(place_, patch, kEntryNames);
    const XmlAttribute* ref = Attribute(place_, patch, schema::kConditionRef);
    std::map<std::wstring, long> seen;
    // Element -> line of the setting in force, while it asks for something
    // (TRUE, arguments other than NULL, a PROGID, a container).
    std::map<std::wstring, long> given;
    std::wstring fileName, arguments;
    long fileLine = patch.line;
    bool named = false;
    std::size_t locations = 0;
    std::vector<const XmlAttribute*> leaving;  // relative paths out of the install folder
    for (const XmlElement& child : patch.children) {
      if (!Contains(kEntryNames, child.name)) continue;
      if (child.name == schema::kRegKeys) {
        given.emplace(child.name, child.line);
        CheckChildNames(place_, child, {schema::kInstallPathRegKey});
        for (const XmlElement& key : child.children) {
          if (key.name != schema::kInstallPathRegKey) continue;
          ++locations;
          if (key.attributes.size() < 3) {
            place_.Error(key.line, "regkey-attributes",
                         "INSTALLPATH_REGKEY needs three attributes (subkey, value name, "
                         "relative path); with " +
                             std::to_string(key.attributes.size()) +
                             " the manager stops reading the configuration");
          } else if (!IsSafeRelativePath(key.attributes[2].value)) {
            // By position, as the manager reads it, whatever its name.
            leaving.push_back(&key.attributes[2]);
          }
        }
        continue;
      }
      if (child.name == schema::kParametersList) {
        given.emplace(child.name, child.line);
        CheckChildNames(place_, child, {schema::kParameter});
        continue;
      }
      if (!Scalar(child, seen)) continue;
      const std::wstring& value = *child.Value();
      bool asks = !value.empty();
      if (Contains(kEntryBooleans, child.name)) {
        Boolean(child);
        asks = EqualsIgnoringCase(value, L"TRUE");
      }
      if (child.name == schema::kInstallFileName) {
        fileName = value;
        fileLine = child.line;
        named = true;
      } else if (child.name == schema::kArguments) {
        arguments = value;
        asks = !EqualsIgnoringCase(value, L"NULL");
      }
      if (asks) {
        given[child.name] = child.line;
      } else {
        given.erase(child.name);
      }
    }
    const auto lineOf = [&](const wchar_t* name, long otherwise) {
      const auto found = given.find(name);
      return found == given.end() ? otherwise : found->second;
    };
    const EntryKind kind = given.count(schema::kExecutionRequired) ? kProgram
                           : given.count(schema::kProgId)          ? kPlugin
                                                                   : kFile;
    PatchFile(patch, named, fileName, fileLine);
    if (named && StaysInsideFolder(fileName) && fileName.find(L'/') != std::wstring::npos) {
      place_.Warning(fileLine, "forward-slash",
                     Quoted(fileName) +
                         ": the manager splits names only at backslashes, so "
                         "the part after the slash is not the file name it installs or backs up");
    }
    if (kind == kFile && named && StaysInsideFolder(fileName) && !FolderPart(fileName).empty()) {
      place_.Warning(fileLine, "file-folder-part",
                     Quoted(fileName) + " is taken from " + Quoted(FolderPart(fileName)) +
                         " but installed as " + Quoted(LastComponent(fileName)) +
                         " directly in the install folder");
    }
    if (kind == kFile && locations == 0) {
      // An empty REGKEYS is the element at fault; without one, the entry.
      place_.Error(lineOf(schema::kRegKeys, patch.line), "no-install-location",
                   "PATCH_DETAILS installs a file but has no INSTALLPATH_REGKEY: the install "
                   "folder cannot be found");
    }
    // Only file entries look their folder up; the others' REGKEYS are
    // ignored (and said so).
    for (const XmlAttribute* path : leaving) {
      if (kind != kFile) break;
      place_.Error(path->line, "refused-install-path",
                   "relative path " + Shortened(path->value) +
                       " of INSTALLPATH_REGKEY leaves the install folder (drive, root, \"..\", "
                       "wildcard): refused, LocateAndVerifyInstallPath fails");
    }
    for (const Unused& u : kUnused) {
      if ((u.kinds & kind) == 0 || given.count(u.element) == 0) continue;
      place_.Warning(lineOf(u.element, patch.line), u.code,
                     ToUtf8(u.element) + " on an entry that " + u.entry + " (" + KindName(kind) +
                         "): " + u.effect);
    }
    if (kind == kProgram && named) {
      // The entry refuses a line over 255, the process runner a path or
      // line over 254.
      const std::wstring program = view_.sourceFolder + L"\\" + fileName;
      const std::wstring line = ProgramCommandLine(program, arguments);
      const std::size_t limit = std::min(kCommandLineLimit, kProcessTextLimit);
      const std::size_t longest = std::max(line.size(), program.size());
      if (longest > limit) {
        // The name alone, or the arguments on top of it.
        place_.Error(program.size() > limit ? fileLine : lineOf(schema::kArguments, fileLine),
                     "command-line-too-long",
                     "the program's command line has " + std::to_string(longest) +
                         " characters from " + Quoted(view_.sourceFolder) + "; at most " +
                         std::to_string(limit) + " are run");
      }
    }
    if (kind == kPlugin) {
      place_.Warning(lineOf(schema::kProgId, patch.line), "plugin-entry",
                     "an entry with PROGID goes to the plug-in hook, which does nothing here: "
                     "its file is neither installed nor run");
    }
    if (!ref || ref->value.empty()) return;
    if (!IsSafeScriptName(ref->value)) {
      place_.Error(ref->line, "refused-condition-ref",
                   "Condition_Ref " + Shortened(ref->value) +
                       " cannot name a script file (path separator, \"..\", drive, reserved or "
                       "control character): the entry is not applied");
    } else if (!CanBeRuleScript(ref->value)) {
      place_.Error(ref->line, "refused-condition-ref",
                   "Condition_Ref " + Shortened(ref->value) + " makes a script name over " +
                       std::to_string(kFileNameLimit) + " characters: the entry is not applied");
    } else if (facts_.conditions.count(FoldCase(ref->value)) == 0) {
      place_.Warning(ref->line, "undefined-condition",
                     "Condition_Ref " + Quoted(ref->value) +
                         " names no condition with a script: the entry applies to every machine");
    }
  }

  void PatchFile(const XmlElement& patch, bool named, const std::wstring& name, long line) {
    if (!named) {
      place_.Error(patch.line, "missing-patch-file",
                   "PATCH_DETAILS has no INSTALLFILENAME: the patch files check fails");
    } else if (!StaysInsideFolder(name)) {
      place_.Error(line, "refused-file-name",
                   "patch file name " + Quoted(name) +
                       " leaves the patch folder (drive, root, \"..\", wildcard): refused");
    } else if (!view_.exists(name)) {
      place_.Error(line, "missing-patch-file",
                   "patch file " + Quoted(name) + " is not in the patch folder");
    }
  }

  const Place& place_;
  const PatchView& view_;
  PatchFacts& facts_;
  std::map<std::wstring, long> seen_;
  std::size_t osCount_ = 0, knownOs_ = 0;
  long osLine_ = 0;
};

}  // namespace

void CheckConfigurationFile(const Place& place, const XmlFile& file, const PatchView& view,
                            PatchFacts& facts) {
  if (!file.found) {
    place.Error(1, "missing-file", "no QZVRN.config in the patch folder");
    return;
  }
  if (ReportUnreadable(place, file, "cannot read its configuration")) return;
  if (!file.root) return;
  if (const XmlElement* block =
          FirstBlock(place, *file.root, schema::kParametersBlock, "second-parameter-block")) {
    ConfigChecker(place, view, facts).Block(*block);
  }
}

}  // namespace qz::check
