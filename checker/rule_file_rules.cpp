// The rule file named by FILENAME: the reboot flag and the main rule.
#include "checker/rules.h"
#include "common/utf8.h"
#include "common/text_compare.h"
#include "manager/patch_names.h"

namespace qz::check {

void CheckRuleFile(const Place& place, const XmlFile& file, PatchFacts& facts) {
  if (ReportUnreadable(place, file, "ends with the rule-file message")) return;
  if (!file.root) return;
  const XmlElement* update = FirstBlock(place, *file.root, L"WebUpdate", "second-webupdate");
  if (!update) return;
  CheckChildNames(place, *update, {L"rebootFlag", L"matches"});
  const XmlElement* rule = nullptr;
  for (const XmlElement& child : update->children) {
    if (child.name == L"rebootFlag") {
      const std::optional<std::wstring>& value = child.Value();
      if (!value) {
        place.Error(child.line, "empty-value",
                    "rebootFlag is empty: the manager stops reading the rule file (general "
                    "failure)");
        continue;
      }
      bool valid = false;
      for (const wchar_t* flag : {L"0", L"1", L"2", L"3"}) {
        valid = valid || EqualsIgnoringCase(*value, flag);
      }
      if (!valid) {
        place.Warning(
            child.line, "reboot-flag-value",
            "rebootFlag " + Shortened(*value) + " is not 0, 1, 2 or 3: it changes nothing");
      }
    } else if (child.name == L"matches") {
      CheckChildNames(place, child, {L"match"});
      for (const XmlElement& match : child.children) {
        if (match.name != L"match") continue;
        CheckChildNames(place, match, {L"matchString"});
        for (const XmlElement& text : match.children) {
          if (text.name != L"matchString") continue;
          if (!text.Value()) {
            place.Error(text.line, "empty-value",
                        "matchString is empty: the manager stops reading the rule file "
                        "(general failure)");
          }
          if (rule) {
            place.Warning(rule->line, "repeated-element",
                          "this matchString is replaced by the one of line " +
                              std::to_string(text.line) + ": only the last is the rule");
          }
          rule = &text;
        }
      }
    }
  }
  if (!rule) {
    place.Warning(update->line, "no-match-string",
                  "no matchString: no main rule is written, and a run that needs it fails");
  } else {
    facts.scriptLines[RuleScriptName(L"Main")] = rule->line;
  }
}

}  // namespace qz::check
