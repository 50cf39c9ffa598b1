// RecoverInterruptedRun: a run that was stopped inside its walk (power
// lost, process killed) can leave a destination half-written, with the
// original only in its backup folder, and others already replaced. At the
// next start from the same folder, before any rule reads the product's
// files, the machine is put back as it was before that run: every
// destination the walk began gets its original back, or is removed when
// there was none; then the stale folder goes. A destination never begun
// was not touched; a walk that came to its end is not undone (its files
// may be queued for the restart), only its folder goes.
//
// What a backup folder holds is input, not proof: anyone who can write
// the patch folder can plant one. A record is acted on only when it reads
// whole, names only this configuration's destinations and plain copy
// names, and the copies to be put back still hash as saved; otherwise
// nothing at all is touched and the run fails.
#include <memory>
#include <string>
#include <unordered_set>

#include "manager/file_names.h"
#include "manager/manager.h"
#include "manager/patch_names.h"
#include "common/backup_folder.h"

namespace qz {

namespace {

constexpr wchar_t kRestore[] = L"CVRNManager:RecoverInterruptedRun - Restore original:";
constexpr wchar_t kRemoveNew[] = L"CVRNManager:RecoverInterruptedRun - Remove new file:";
constexpr wchar_t kRemoveFolder[] =
    L"CVRNManager:RecoverInterruptedRun - Remove stale backup folder:";
constexpr wchar_t kRefused[] = L"CVRNManager:RecoverInterruptedRun - Backup record refused:";

}  // namespace

bool CVRNManager::RecoverInterruptedRun() {
  port::Files& files = os_.files;
  std::vector<std::wstring> folders;
  for (const port::FindData& found : files.FindAll(m_sourceFolder + L"\\qzvrn*")) {
    // A junction or link is nobody's backup folder: it is not entered.
    if ((found.attributes & port::kFileAttributeDirectory) &&
        !(found.attributes & port::kFileAttributeReparsePoint) &&
        IsBackupFolderName(found.fileName)) {
      folders.push_back(m_sourceFolder + L"\\" + found.fileName);
    }
  }
  if (folders.empty()) return true;

  // The destinations this configuration's walk would touch, found as
  // LocateAndVerifyInstallPath will find them.
  std::unordered_set<std::wstring> allowed;
  for (const UpdateEntry& entry : m_updateEntries) {
    if (entry.executionRequired || !entry.progId.empty()) continue;
    const std::wstring path = FindInstallPath(entry);
    if (!path.empty()) {
      allowed.insert(FileNameKey(files, path + L"\\" + LastComponent(entry.fileName)));
    }
  }

  // Every record is checked before any is acted on.
  std::vector<std::unique_ptr<WalkChanges>> walks;
  bool refused = false;
  for (const std::wstring& folder : folders) {
    auto walk = std::make_unique<WalkChanges>(files);
    bool present = false;
    const std::wstring refusal = walk->Load(folder, allowed, present);
    if (!refusal.empty()) {
      WriteLog(kRefused, refusal + L" (" + folder + L")", L"Failed");
      refused = true;
    } else if (present) {
      walks.push_back(std::move(walk));
    }
  }
  if (refused) return false;

  bool recovered = true;
  for (const auto& walk : walks) {
    bool folderDone = true;
    const std::vector<FileChange>& changes = walk->Changes();
    for (auto c = changes.rbegin(); c != changes.rend() && !walk->WalkEnded(); ++c) {
      if (!c->begun) continue;
      const RollbackResult back = walk->Rollback(*c);
      const wchar_t* source = c->copyName.empty() ? kRemoveNew : kRestore;
      if (back.kind == RollbackResult::kCopyIsAnothers) {
        WriteLog(source, c->destination + L" (its backup copy is another's)", L"Failed");
      } else if (back.kind == RollbackResult::kCopyChanged) {
        WriteLog(source, c->destination + L" (its backup copy changed)", L"Failed");
      } else {
        WriteResult(source, c->destination, back.status);
      }
      folderDone = folderDone && back.Done();
    }
    if (!folderDone) {
      recovered = false;
      continue;
    }
    WriteResult(kRemoveFolder, walk->Folder(), walk->RemoveFolder());
  }
  return recovered;
}

}  // namespace qz
