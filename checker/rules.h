// The checks of the three patch XML files. Each reports what the manager
// would do with a file that differs from what its text suggests.
#pragma once
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "checker/diagnostics.h"
#include "checker/xml_tree.h"

namespace qz::check {

// Where one finding goes: the file's name as shown, and the report.
struct Place {
  Report& report;
  std::string file;
  void Error(long line, const char* code, const std::string& text) const {
    report.Error(file, line, code, text);
  }
  void Warning(long line, const char* code, const std::string& text) const {
    report.Warning(file, line, code, text);
  }
};

// What the checks of one file tell the others.
struct PatchFacts {
  std::set<std::wstring> conditions;  // folded IDs that get a script
  std::wstring ruleFileName;          // FILENAME, empty when none
  long ruleFileLine = 1;              // where FILENAME is
  bool ruleFileNamed = false;
  std::map<std::wstring, long> scriptLines;  // script name -> line of its body
};

// Names the manager knows and the files the patch holds, for the checks.
struct PatchView {
  std::wstring sourceFolder;                        // as the manager names the folder
  std::function<bool(const std::wstring&)> exists;  // a patch file by relative name
};

void CheckConditionsFile(const Place& place, const XmlFile& file, PatchFacts& facts);
void CheckConfigurationFile(const Place& place, const XmlFile& file, const PatchView& view,
                            PatchFacts& facts);
void CheckRuleFile(const Place& place, const XmlFile& file, PatchFacts& facts);

// Shared by the three: children whose names the manager does not read,
// named after the known one they resemble.
void CheckChildNames(const Place& place, const XmlElement& parent,
                     const std::vector<std::wstring>& known);
// The attribute `name` compared as the manager does (exactly); a name that
// differs only in case is reported at its line.
const XmlAttribute* Attribute(const Place& place, const XmlElement& element,
                              const std::wstring& name);
// The first element named `name` (exactly) in document order, reporting
// the later ones as ignored and, when there is none, one in another case.
const XmlElement* FirstBlock(const Place& place, const XmlElement& root, const std::wstring& name,
                             const char* secondCode);
// A file the checks cannot look into: a document type, or XML the DOM did
// not load (not reported when the DOM itself failed: the manager's own run
// says what it refused). True when there is nothing to check; `effect` is
// what the manager does then ("cannot read its configuration").
bool ReportUnreadable(const Place& place, const XmlFile& file, const std::string& effect);
std::string Quoted(const std::wstring& text);
// Quoted, or its start and length when it is too long to show.
std::string Shortened(const std::wstring& text);
std::wstring FoldCase(const std::wstring& text);

}  // namespace qz::check
