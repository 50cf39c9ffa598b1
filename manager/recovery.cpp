// RecoverInterruptedRun: a run that was stopped inside its walk (power
// lost, process killed) can leave a destination half-written, with the
// original only in its backup folder, and others already replaced. At the
// next start from the same folder, before any rule reads the product's
// files, the machine is put back as it was before that run: every
// destination the walk began gets its original back, or is removed when
// there was none; then the stale folder goes. A destination never begun
// was not touched; a walk that came to its end is not undone (its files
// may be queued for the restart), only its folder goes.
#include <string>

#include "manager/file_removal.h"
#include "manager/journal.h"
#include "manager/manager.h"
#include "common/text_compare.h"

namespace qz {

namespace {

constexpr wchar_t kRestore[] = L"CVRNManager:RecoverInterruptedRun - Restore original:";
constexpr wchar_t kRemoveNew[] = L"CVRNManager:RecoverInterruptedRun - Remove new file:";
constexpr wchar_t kRemoveFolder[] =
    L"CVRNManager:RecoverInterruptedRun - Remove stale backup folder:";

// Entries whose files share a name share one backup copy, which holds the
// original of the last of them only.
bool CopyHoldsItsOriginal(const std::vector<JournalDestination>& record,
                          const JournalDestination& d) {
  bool after = false;
  for (const JournalDestination& other : record) {
    if (&other == &d) {
      after = true;
    } else if (after && EqualsIgnoringCase(other.backupCopy, d.backupCopy) &&
               !EqualsIgnoringCase(other.path, d.path)) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool CVRNManager::RecoverInterruptedRun() {
  port::Files& files = os_.files;
  std::vector<std::wstring> folders;
  {
    port::FindData found;
    port::UniqueFind search(files, files.FindFirstFileW(m_sourceFolder + L"\\qzvrn*", found));
    if (search.Valid()) {
      do {
        if (found.attributes & port::kFileAttributeDirectory) {
          folders.push_back(m_sourceFolder + L"\\" + found.fileName);
        }
      } while (files.FindNextFileW(search.Get(), found));
    }
  }

  bool recovered = true;
  for (const std::wstring& folder : folders) {
    // A folder without a record was left before its walk began.
    const auto text = ReadJournalFile(files, folder);
    if (!text) continue;
    const JournalRecord journal = ReadJournal(*text);
    const std::vector<JournalDestination>& record = journal.destinations;
    bool folderDone = true;
    for (auto d = record.rbegin(); d != record.rend() && !journal.walkEnded; ++d) {
      if (!d->begun) continue;
      bool ok = false;
      ClearReadOnly(files, d->path);
      if (d->backupCopy.empty()) {
        ok = !files.FindFirstFileW(d->path) || files.DeleteFileW(d->path);
        WriteLog(kRemoveNew, d->path, Outcome(ok));
      } else {
        ok = CopyHoldsItsOriginal(record, *d) &&
             files.CopyFileW(folder + L"\\" + d->backupCopy, d->path, false) &&
             FlushToDisk(files, d->path);
        WriteLog(kRestore, d->path, Outcome(ok));
      }
      folderDone = folderDone && ok;
    }
    if (!folderDone) {
      recovered = false;
      continue;
    }
    // The record first: a folder that lost it is never read again.
    bool removed = static_cast<bool>(files.DeleteFileW(folder + L"\\" + kJournalName));
    port::FindData found;
    port::UniqueFind search(files, files.FindFirstFileW(folder + L"\\*.*", found));
    if (search.Valid()) {
      do {
        const std::wstring path = folder + L"\\" + found.fileName;
        if (!(found.attributes & port::kFileAttributeDirectory)) {
          ClearReadOnly(files, path);
          files.DeleteFileW(path);
        }
      } while (files.FindNextFileW(search.Get(), found));
    }
    search.Reset();
    removed = removed && files.RemoveDirectoryW(folder);
    WriteLog(kRemoveFolder, folder, Outcome(removed));
  }
  return recovered;
}

}  // namespace qz
