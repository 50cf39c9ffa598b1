// QZVRN_Conditions.config: the conditions that get a script, and those
// that silently do not.
#include <map>

#include "checker/rules.h"
#include "common/utf8.h"
#include "manager/patch_names.h"

namespace qz::check {

void CheckConditionsFile(const Place& place, const XmlFile& file, PatchFacts& facts) {
  if (!file.found) return;  // optional
  if (ReportUnreadable(place, file, "stops (general failure)")) return;
  if (!file.root) return;
  const XmlElement* details =
      FirstBlock(place, *file.root, L"CONDITION_DETAILS", "second-condition-details");
  if (!details) return;
  CheckChildNames(place, *details, {L"CONDITION"});
  std::map<std::wstring, long> defined;  // folded ID -> line
  for (const XmlElement& condition : details->children) {
    if (condition.name != L"CONDITION") continue;
    CheckChildNames(place, condition, {L"JSCRIPT"});
    const XmlAttribute* attribute = Attribute(place, condition, L"ID");
    const std::wstring* id = attribute ? &attribute->value : nullptr;
    bool hasScript = false;
    for (const XmlElement& child : condition.children) {
      hasScript = hasScript || child.name == L"JSCRIPT";
    }
    if (!id || id->empty()) {
      place.Warning(attribute ? attribute->line : condition.line, "condition-without-id",
                    "CONDITION without an ID gets no script");
      continue;
    }
    if (!hasScript) {
      place.Warning(condition.line, "condition-without-script",
                    "condition " + Shortened(*id) + " has no JSCRIPT: no script is written");
      continue;
    }
    if (!IsSafeScriptName(*id)) {
      place.Error(attribute->line, "refused-condition-id",
                  "condition ID " + Shortened(*id) +
                      " cannot be a file name (path separator, \"..\", reserved character): "
                      "refused, and entries naming it are not applied");
      continue;
    }
    if (!CanBeRuleScript(*id)) {
      place.Error(attribute->line, "condition-id-too-long",
                  "condition ID " + Shortened(*id) + " makes a script name of " +
                      std::to_string(RuleScriptName(*id).size()) + " characters, over " +
                      std::to_string(kFileNameLimit) +
                      ": no script can be written, and entries naming it are not applied");
      continue;
    }
    const std::wstring folded = FoldCase(*id);
    const auto earlier = defined.find(folded);
    if (earlier != defined.end()) {
      place.Warning(attribute->line, "duplicate-condition",
                    "condition " + Shortened(*id) + " is defined again (line " +
                        std::to_string(earlier->second) + "): the later one wins");
    }
    defined[folded] = attribute->line;
    facts.conditions.insert(folded);
    facts.scriptLines[RuleScriptName(*id)] = condition.line;
  }
}

}  // namespace qz::check
