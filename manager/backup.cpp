// Backup: before the first file is replaced, every installed file that an
// entry will replace is copied into a fresh folder beside the manager, and
// the entry remembers what was saved for Cleanup. The walk's record goes
// beside the copies, so that a run stopped part-way can be undone.
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
  if (!os_.files.CreateDirectoryW(m_backupFolder)) {
    WriteLog(kBackup, L"Backup Directory creation :", L"Failed");
    throw errBackupFailed;
  }
  for (UpdateEntry& entry : m_updateEntries) {
    const std::wstring name = LastComponent(entry.fileName);
    const std::wstring copy = m_backupFolder + L"\\" + name;
    entry.backedUp = 0;
    if (entry.installPath.empty()) continue;
    const std::wstring destination = entry.installPath + L"\\" + name;
    if (os_.files.FindFirstFileW(destination)) {
      if (!os_.files.CopyFileW(destination, copy, false)) {
        WriteLog(kBackup, L"Backup :", L"Failed");
        throw errBackupFailed;
      }
      // The copy must outlive a power cut as long as the record that
      // names it.
      FlushToDisk(os_.files, copy);
      entry.backedUp = 1;
      entry.backup = {name, entry.installPath, name, m_backupFolder};
    } else {
      WriteLog(kBackup, L"Destination file :", L"Absent");
      entry.backup = {name, entry.installPath, {}, {}};
    }
  }
  // Without its record, a run stopped part-way could not be undone.
  if (!m_journal.Create(m_backupFolder, m_updateEntries)) {
    WriteLog(kBackup, L"Backup record :", L"Failed");
    throw errBackupFailed;
  }
  LogEnded(kClass, L"Backup");
}

}  // namespace qz
