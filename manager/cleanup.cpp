// Cleanup at the end of every run: removes what the run brought and made
// (listed mode) or everything in the patch folder but three names
// (recursive mode), deletes the backup copies with their folder, and moves
// the running program file to a temporary name, since it cannot be deleted.
#include <string>

#include "manager/file_removal.h"
#include "common/manager_contract.h"
#include "common/return_code.h"
#include "manager/manager.h"
#include "manager/patch_names.h"
#include "common/text_compare.h"

namespace qz {

namespace {

constexpr wchar_t kClass[] = L"CVRNManager";
constexpr wchar_t kCleanup[] = L"CVRNManager:Cleanup";

bool KeptByRecursiveMode(const std::wstring& name) {
  for (const wchar_t* kept :
       {contract::kManagerProgram, kReturnCodeFileName, L"QZVRN.log", L".", L".."}) {
    if (name == kept) return true;
  }
  return false;
}

std::wstring FolderOf(const std::wstring& path) {
  const auto pos = path.find_last_of(L'\\');
  if (pos == std::wstring::npos) return {};
  return path.substr(0, pos == 2 ? 3 : pos);
}

}  // namespace

bool CVRNManager::RemoveFile(const std::wstring& path) {
  if (const std::optional<bool> writable = ClearReadOnly(os_.files, path)) {
    WriteLog(L"CVRNManager:Cleanup - Change readonly attribute:", path, Outcome(*writable));
  }
  const bool deleted = static_cast<bool>(os_.files.DeleteFileW(path));
  WriteLog(L"CVRNManager:Cleanup - Delete condition config file:", path, Outcome(deleted));
  return deleted;
}

void CVRNManager::RemoveMatchingFiles(const std::wstring& folder, const std::wstring& pattern) {
  for (const port::FindData& found : os_.files.FindAll(folder + L"\\" + pattern)) {
    RemoveFile(folder + L"\\" + found.fileName);
  }
}

int CVRNManager::Cleanup(std::wstring folder, int topLevel) {
  LogStarted(kClass, L"Cleanup");
  const std::wstring temporaryName =
      L"\\tmp" + std::to_wstring(os_.system.GetTickCount()) + L".tmp";
  auto moveProgramFile = [&] {
    os_.files.MoveFileW(m_sourceFolder + L"\\QZVRN.EXE", m_sourceFolder + temporaryName);
  };

  // The walk is over: its record goes first, silently, before the copies
  // it names. While it stays, so do they: a later start would otherwise
  // restore from copies that are gone.
  bool copiesMayGo = true;
  if (topLevel) {
    const std::wstring record = m_walk.RecordPath();
    if (const port::Status gone = m_walk.RemoveRecord(); !gone) {
      WriteResult(L"CVRNManager:Cleanup - Delete backup record:", record, gone);
      copiesMayGo = false;
    }
  }

  bool recursive = m_cleanupRecursive != 0;
  if (recursive && topLevel) {
    // Emptying a folder is safe only where the patch was unpacked, which
    // is the folder that holds the program.
    const std::wstring program = os_.modules.GetModuleFileNameW().value;
    if (program.empty() || !EqualsIgnoringCase(FolderOf(program), folder)) {
      WriteLog(kCleanup, L"Recursive cleanup refused, the folder does not hold the program:",
               folder);
      recursive = false;
    }
  }

  if (recursive) {
    try {
      for (const port::FindData& found : os_.files.FindAll(folder + L"\\*.*")) {
        if (KeptByRecursiveMode(found.fileName)) continue;
        const std::wstring path = folder + L"\\" + found.fileName;
        // A backup folder still holding a walk's record holds the only
        // originals of an interrupted run: it is the next start's.
        if (os_.files.AnyMatch(path + L"\\" + kJournalName)) continue;
        // Only a plain folder is entered: one that also carries another
        // attribute (a junction, say) is taken as a file, and stays.
        if (found.attributes == port::kFileAttributeDirectory) {
          Cleanup(path, 0);
          WriteLog(L"CVRNManager:Cleanup Deletefolder:", path,
                   Outcome(static_cast<bool>(os_.files.RemoveDirectoryW(path))));
        } else {
          WriteLog(L"CVRNManager:Cleanup Deletefile:", path,
                   Outcome(static_cast<bool>(os_.files.DeleteFileW(path))));
        }
      }
    } catch (...) {
      WriteLog(kCleanup, L"Error:", L"failed");
      return 0;
    }
    if (!topLevel) {
      LogEnded(kClass, L"Cleanup");
      return 1;
    }
    for (const UpdateEntry& entry : m_updateEntries) {
      if (!entry.backedUp || !copiesMayGo) continue;
      const std::wstring copy = entry.backup.backupFolder + L"\\" + entry.backup.backedUpFileName;
      if (!os_.files.DeleteFileW(copy)) {
        os_.files.MoveFileW(copy, entry.backup.backupFolder + temporaryName);
      }
    }
    os_.files.RemoveDirectoryW(m_backupFolder);
    m_updateEntries.clear();
    moveProgramFile();
    LogEnded(kClass, L"Cleanup");
    return 1;
  }

  // Listed mode. A name that would reach outside the patch folder is not
  // the patch's to delete.
  auto removeInSource = [&](const std::wstring& name) {
    if (name.empty()) return;
    if (!StaysInsideFolder(name)) {
      WriteLog(kCleanup, L"Not deleted, the name leaves the patch folder:", name);
      return;
    }
    RemoveFile(m_sourceFolder + L"\\" + name);
  };
  for (const UpdateEntry& entry : m_updateEntries) {
    // An entry without a name names the folder itself: the deletion of
    // that path fails, and is logged so, without touching the folder's
    // attributes.
    if (entry.fileName.empty()) {
      WriteLog(L"CVRNManager:Cleanup - Delete condition config file:", m_sourceFolder + L"\\",
               L"Failed");
    }
    removeInSource(entry.fileName);
  }
  removeInSource(m_ruleFileName);
  RemoveMatchingFiles(folder, L"TestCode_*.js");
  RemoveMatchingFiles(folder, L"*.tmp");
  for (const UpdateEntry& entry : m_updateEntries) {
    if (!entry.backedUp || !copiesMayGo) continue;
    const std::wstring copy = entry.backup.backupFolder + L"\\" + entry.backup.backedUpFileName;
    if (RemoveFile(copy)) {
      WriteLog(L"CVRNManager:Cleanup - Delete backup folder file:", copy, L"Succeeded");
    } else {
      const std::wstring moved = entry.backup.backupFolder + temporaryName;
      WriteLog(L"CVRNManager:Cleanup - Backup folder Movefile:", moved,
               Outcome(static_cast<bool>(os_.files.MoveFileW(copy, moved))));
    }
  }
  WriteLog(L"CVRNManager:Cleanup - Remove backup folder:", m_backupFolder,
           Outcome(static_cast<bool>(os_.files.RemoveDirectoryW(m_backupFolder))));
  RemoveFile(m_sourceFolder + L"\\QZVRN.config");
  RemoveFile(m_sourceFolder + L"\\QZVRN_Conditions.config");
  RemoveFile(L"qzkdiag.dll");
  m_updateEntries.clear();
  moveProgramFile();
  LogEnded(kClass, L"Cleanup");
  return 1;
}

}  // namespace qz
