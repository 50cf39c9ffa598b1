// DoUpdate applies the update entries in configuration order: after the
// backup, each entry's sub-condition decides, then it runs as a program,
// goes to the plug-in hook or has its patch file installed; the installed
// files are registered last. Whether a restart is needed stays in
// m_rebootFlag for the entry.
#include <string>

#include "manager/manager.h"
#include "manager/patch_names.h"
#include "common/text_compare.h"

namespace qz {

namespace {

constexpr wchar_t kClass[] = L"CVRNManager";
constexpr wchar_t kDoUpdate[] = L"CVRNManager:DoUpdate";
constexpr wchar_t kSubCondition[] = L"CVRNManager:DoUpdate SubCondition: ";

constexpr int kRuleTrue = -1;
constexpr int kRuleFalse = 0;
constexpr int kRuleFailed = 1;

// A copy that failed part-way (a full disk under Wine's Setup API) can leave
// the start of the new file in place of the original: the original comes
// back from its backup copy, and a file that was not there before goes.
void RepairFailedCopy(CVRNManager& m, const UpdateEntry& entry, const std::wstring& name) {
  port::Files& files = m.Os().files;
  const std::wstring destination = entry.installPath + L"\\" + name;
  const std::wstring what = L"PatchFile = " + entry.fileName;
  if (!entry.backedUp) {
    if (!files.FindFirstFileW(destination)) return;
    m.WriteLog(kDoUpdate, what + L" : partial copy removed",
               files.DeleteFileW(destination) ? L"Info" : L"Failed");
    return;
  }
  // Entries with the same last component share one backup copy, which then
  // holds the last one's original.
  const UpdateEntry* last = &entry;
  for (const UpdateEntry& other : m.m_updateEntries) {
    if (other.backedUp && EqualsIgnoringCase(other.backup.backedUpFileName,
                                             entry.backup.backedUpFileName)) {
      last = &other;
    }
  }
  if (last != &entry) {
    m.WriteLog(kDoUpdate, what + L" : original not restored, its backup copy is another's",
               L"Failed");
    return;
  }
  const std::wstring copy = entry.backup.backupFolder + L"\\" + entry.backup.backedUpFileName;
  m.WriteLog(kDoUpdate, what + L" : original restored",
             files.CopyFileW(copy, destination, false) ? L"Info" : L"Failed");
}

}  // namespace

bool CVRNManager::RunPlugin(const std::wstring&, const std::vector<std::wstring>&,
                            std::int32_t, std::int32_t) {
  return true;
}

bool CVRNManager::DoUpdate() {
  LogStarted(kClass, L"DoUpdate");
  try {
    Backup();
    // A file that is gone when the walk reaches it only skips its entry:
    // an earlier program may have removed a later one it made unnecessary.
    for (UpdateEntry& entry : m_updateEntries) {
      if (!entry.conditionRef.empty()) {
        const std::wstring script = L"TestCode_" + entry.conditionRef + L".js";
        // No script: the condition was never defined, and the entry applies.
        if (os_.files.FindFirstFileW(script)) {
          const int rule = CallJScript(script);
          if (rule == kRuleFailed) {
            WriteLog(kSubCondition, L"Javascript Error", L"Failed");
            return false;
          }
          if (rule == kRuleFalse) {
            WriteLog(kSubCondition,
                     L"PatchFile = " + entry.fileName + L", SubCondition = " +
                         entry.conditionRef + L" : Returns FALSE",
                     L"Failed");
            continue;
          }
        }
      }

      if (entry.executionRequired) {
        const std::wstring program = m_sourceFolder + L"\\" + entry.fileName;
        const std::wstring commandLine = ProgramCommandLine(program, entry.arguments);
        if (!os_.files.FindFirstFileW(program)) {
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
      if (!os_.files.FindFirstFileW(sourceFolder + L"\\" + name)) {
        WriteLog(kDoUpdate, L"File Not Found", L"Failed to Load");
        continue;
      }
      // The record says which destination may be half-written if the run
      // stops from here on; it must say so before the file is touched.
      const std::size_t index = static_cast<std::size_t>(&entry - m_updateEntries.data());
      if (!m_journal.MarkBegun(index)) {
        WriteLog(kDoUpdate, L"PatchFile = " + entry.fileName + L" : backup record not written",
                 L"Failed");
        return false;
      }
      // A failed first call is repeated once: a copy error or a file in
      // use has turned on the restart, and the repetition takes the forced
      // form. Anything else would fail the same way again.
      bool installed = false;
      for (int attempt = 0; attempt < 2 && !installed; ++attempt) {
        m_installFailed = 0;
        installed = InstallPatch(name, sourceFolder, entry.installPath);
      }
      entry.installed = installed ? 1 : 0;
      if (installed) {
        // Lost, the mark only costs the next start a needless restore.
        m_journal.MarkCompleted(index);
        continue;
      }
      if (m_installError == 0) {
        // Declined without an error: the installed file is kept (it is
        // newer than the patch's, for instance).
        WriteLog(kDoUpdate, L"PatchFile = " + entry.fileName + L" : not copied", L"Info");
        continue;
      }
      WriteLog(kDoUpdate,
               L"PatchFile = " + entry.fileName + L", SetupInstallFileEx error " +
                   std::to_wstring(m_installError),
               L"Failed");
      RepairFailedCopy(*this, entry, name);
      return false;
    }
    m_journal.MarkWalkEnded();
    RegisterCOMDLLS();
  } catch (_error e) {
    WriteLog(kDoUpdate, L"Exception:", L"failed");
    throw;
  } catch (...) {
    WriteLog(kDoUpdate, L"Unknown Exception:", L"Failed");
    throw errGeneralFailure;
  }
  LogEnded(kClass, L"DoUpdate");
  return true;
}

}  // namespace qz
