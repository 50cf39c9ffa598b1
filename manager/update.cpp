// DoUpdate applies the update entries in configuration order: after the
// backup, each entry's sub-condition decides, then it runs as a program,
// goes to the plug-in hook or has its patch file installed; the installed
// files are registered last. Whether a restart is needed stays in
// m_rebootFlag for the entry. Each file entry's change to the machine is
// one unit of the walk (walk.h).
#include <string>

#include "manager/file_names.h"
#include "common/manager_contract.h"
#include "manager/manager.h"
#include "manager/patch_names.h"

namespace qz {

namespace {

constexpr wchar_t kClass[] = L"CVRNManager";
constexpr wchar_t kDoUpdate[] = L"CVRNManager:DoUpdate";
constexpr wchar_t kSubCondition[] = L"CVRNManager:DoUpdate SubCondition: ";

// A sub-condition's result: -1 (true) applies the entry.
constexpr int kRuleFalse = 0;
constexpr int kRuleFailed = 1;

}  // namespace

bool CVRNManager::RunPlugin(const std::wstring&, const std::vector<std::wstring>&, std::int32_t,
                            std::int32_t) {
  return true;
}

bool CVRNManager::DoUpdate() {
  LogStarted(kClass, contract::kDoUpdate);
  try {
    Backup();
    // A file that is gone when the walk reaches it only skips its entry:
    // an earlier program may have removed a later one it made unnecessary.
    for (UpdateEntry& entry : m_updateEntries) {
      if (!entry.conditionRef.empty()) {
        // A reference that cannot name a script of this folder, or a
        // condition whose script could not be prepared, is a condition that
        // does not hold: failing open would apply the entry everywhere.
        if (!CanBeRuleScript(entry.conditionRef) ||
            m_unpreparedConditions.count(FileNameKey(os_.files, entry.conditionRef))) {
          WriteLog(kSubCondition,
                   L"PatchFile = " + entry.fileName + L", SubCondition = " + entry.conditionRef +
                       L" : Returns FALSE",
                   L"Failed");
          continue;
        }
        const std::wstring script = RuleScriptName(entry.conditionRef);
        // No script: the condition was never defined, and the entry applies.
        if (os_.files.AnyMatch(script)) {
          const int rule = CallJScript(script);
          if (rule == kRuleFailed) {
            WriteLog(kSubCondition, L"Javascript Error", L"Failed");
            return false;
          }
          if (rule == kRuleFalse) {
            WriteLog(kSubCondition,
                     L"PatchFile = " + entry.fileName + L", SubCondition = " + entry.conditionRef +
                         L" : Returns FALSE",
                     L"Failed");
            continue;
          }
        }
      }

      if (entry.executionRequired) {
        const std::wstring program = m_sourceFolder + L"\\" + entry.fileName;
        const std::wstring commandLine = ProgramCommandLine(program, entry.arguments);
        if (!os_.files.AnyMatch(program)) {
          WriteLog(kDoUpdate, L"Execution_Required=TRUE, File Not Found", L"Failed to Load");
          continue;
        }
        // Cutting the line would run the program with other arguments.
        if (commandLine.size() > kCommandLineLimit) {
          WriteLog(kDoUpdate, L"Execution_Required=TRUE, Command line too long", L"Failed");
          return false;
        }
        if (!RunProcess(program, commandLine, 0)) {
          WriteLog(kDoUpdate, L"Execution_Required=TRUE, RunProcess", L"Failed");
          return false;
        }
        continue;
      }

      if (!entry.progId.empty()) {
        if (!RunPlugin(entry.progId, entry.parameters, entry.comRegRequired,
                       entry.asmRegRequired)) {
          WriteLog(kDoUpdate, L"RunPlugin", L"Failed");
          return false;
        }
        continue;
      }

      if (entry.installPath.empty()) continue;
      const std::wstring name = LastComponent(entry.fileName);
      const std::wstring folderPart = FolderPart(entry.fileName);
      const std::wstring sourceFolder =
          folderPart.empty() ? m_sourceFolder : m_sourceFolder + L"\\" + folderPart;
      if (!os_.files.AnyMatch(sourceFolder + L"\\" + name)) {
        WriteLog(kDoUpdate, L"File Not Found", L"Failed to Load");
        continue;
      }
      const std::size_t index = static_cast<std::size_t>(&entry - m_updateEntries.data());
      const DoOutcome outcome = m_walk.Do(*this, entry, index, name, sourceFolder);
      if (outcome == DoOutcome::kFailed || outcome == DoOutcome::kNotRecorded) return false;
    }
    m_walk.EndWalk();
    RegisterCOMDLLS();
  } catch (_error e) {
    WriteLog(kDoUpdate, L"Exception:", L"failed");
    throw;
  } catch (...) {
    WriteLog(kDoUpdate, L"Unknown Exception:", L"Failed");
    throw errGeneralFailure;
  }
  LogEnded(kClass, contract::kDoUpdate);
  return true;
}

}  // namespace qz
