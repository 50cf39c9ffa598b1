// Backup: before the first file is replaced, every installed file that an
// entry will replace is copied into a fresh folder beside the manager, and
// the entry remembers what was saved for Cleanup. The walk's changes
// (walk.h) keep each copy's hash and the record beside the copies, so that
// a run stopped part-way can be undone.
#include "manager/manager.h"
#include "manager/patch_names.h"

namespace qz {

namespace {
constexpr wchar_t kClass[] = L"CVRNManager";
constexpr wchar_t kBackup[] = L"CVRNManager:Backup";
}  // namespace

void CVRNManager::Backup() {
  LogStarted(kClass, L"Backup");
  m_backupFolder = m_sourceFolder + L"\\qzvrn" + std::to_wstring(os_.system.GetTickCount());
  if (const port::Status made = os_.files.CreateDirectoryW(m_backupFolder); !made) {
    WriteLog(kBackup, L"Backup Directory creation :", L"Failed");
    WriteResult(kBackup, m_backupFolder, made);
    throw errBackupFailed;
  }
  m_walk.Start(m_backupFolder);
  for (std::size_t i = 0; i < m_updateEntries.size(); ++i) {
    UpdateEntry& entry = m_updateEntries[i];
    const std::wstring name = LastComponent(entry.fileName);
    entry.backedUp = 0;
    if (entry.installPath.empty()) continue;
    const std::wstring destination = entry.installPath + L"\\" + name;
    if (os_.files.AnyMatch(destination)) {
      if (const port::Status saved = m_walk.SaveOriginal(i, destination, name); !saved) {
        WriteLog(kBackup, L"Backup :", L"Failed");
        WriteResult(kBackup, destination, saved);
        throw errBackupFailed;
      }
      entry.backedUp = 1;
      entry.backup = {name, entry.installPath, name, m_backupFolder};
    } else {
      WriteLog(kBackup, L"Destination file :", L"Absent");
      entry.backup = {name, entry.installPath, {}, {}};
      m_walk.AddNew(i, destination);
    }
  }
  // Without its record, a run stopped part-way could not be undone.
  if (!m_walk.WriteRecord()) {
    WriteLog(kBackup, L"Backup record :", L"Failed");
    throw errBackupFailed;
  }
  LogEnded(kClass, L"Backup");
}

}  // namespace qz
