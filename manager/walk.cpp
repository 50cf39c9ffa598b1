#include "manager/walk.h"

#include "common/sha256.h"
#include "manager/file_names.h"
#include "manager/file_removal.h"
#include "manager/manager.h"

namespace qz {

namespace {

constexpr wchar_t kDoUpdate[] = L"CVRNManager:DoUpdate";

using port::UniqueFile;

// Size and SHA-256 of an open file, read from its start.
bool HashOpenFile(port::Files& files, port::FileHandle file, std::uint64_t& size,
                  std::string& hash) {
  Sha256 sha;
  std::vector<char> buffer(1 << 16);
  size = 0;
  for (;;) {
    const port::Result<std::size_t> read = files.ReadFile(file, buffer.data(), buffer.size());
    if (!read) return false;
    if (read.value == 0) break;
    sha.Update(buffer.data(), read.value);
    size += read.value;
  }
  hash = sha.HexDigest();
  return true;
}

// An existing file, shared for reading only: nobody writes it while it
// is held.
UniqueFile OpenHeld(port::Files& files, const std::wstring& path, port::DWORD access) {
  return UniqueFile(
      files, files.CreateFileW(path, access, port::kOpenExisting, port::kFileShareRead).value);
}

std::wstring NameOf(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }

}  // namespace

void WalkChanges::Start(const std::wstring& folder) {
  journal_.Close();
  folder_ = folder;
  changes_.clear();
  at_.clear();
  owners_.clear();
  walkEnded_ = false;
}

port::Status WalkChanges::SaveOriginal(std::size_t index, const std::wstring& destination,
                                       const std::wstring& copyName) {
  const std::wstring copy = folder_ + L"\\" + copyName;
  if (const port::Status copied = files_.CopyFileW(destination, copy, false); !copied) {
    return copied;
  }
  FileChange change;
  change.index = index;
  change.destination = destination;
  change.copyName = copyName;
  // The copy must outlive a power cut as long as the record that names
  // it, and prove at the next start that it is still what was saved.
  UniqueFile file = OpenHeld(files_, copy, port::kGenericRead | port::kGenericWrite);
  if (!file.Valid() || !files_.FlushFileBuffers(file.Get()) ||
      !HashOpenFile(files_, file.Get(), change.copySize, change.copyHash)) {
    return port::Status::Failed(0);
  }
  at_[index] = changes_.size();
  changes_.push_back(std::move(change));
  owners_.clear();
  return port::Status::Ok();
}

void WalkChanges::AddNew(std::size_t index, const std::wstring& destination) {
  at_[index] = changes_.size();
  FileChange change;
  change.index = index;
  change.destination = destination;
  changes_.push_back(std::move(change));
  owners_.clear();
}

FileChange* WalkChanges::Find(std::size_t index) {
  const auto it = at_.find(index);
  return it == at_.end() ? nullptr : &changes_[it->second];
}

bool WalkChanges::OwnsCopy(const FileChange& change) {
  if (owners_.size() != changes_.size()) {
    std::unordered_map<std::wstring, std::size_t> last;  // copy key -> last unit
    for (std::size_t i = 0; i < changes_.size(); ++i) {
      if (!changes_[i].copyName.empty()) last[FileNameKey(files_, changes_[i].copyName)] = i;
    }
    owners_.assign(changes_.size(), false);
    for (std::size_t i = 0; i < changes_.size(); ++i) {
      if (changes_[i].copyName.empty()) continue;
      const FileChange& holder = changes_[last[FileNameKey(files_, changes_[i].copyName)]];
      owners_[i] = &holder == &changes_[i] ||
                   SameFileName(files_, holder.destination, changes_[i].destination);
    }
  }
  return owners_[static_cast<std::size_t>(&change - changes_.data())];
}

RollbackResult WalkChanges::Rollback(const FileChange& change) {
  const std::wstring& destination = change.destination;
  if (change.copyName.empty()) {
    if (!files_.AnyMatch(destination)) return {RollbackResult::kNothingThere, {}};
    ClearReadOnly(files_, destination);
    const port::Status removed = files_.DeleteFileW(destination);
    return {removed ? RollbackResult::kRemoved : RollbackResult::kFailed, removed};
  }
  if (!OwnsCopy(change)) return {RollbackResult::kCopyIsAnothers, {}};
  // Held against writers from the check to the end of the copy, so that
  // what is put back is what was checked.
  const std::wstring copy = folder_ + L"\\" + change.copyName;
  const UniqueFile held = OpenHeld(files_, copy, port::kGenericRead);
  std::uint64_t size = 0;
  std::string hash;
  if (!held.Valid() || !HashOpenFile(files_, held.Get(), size, hash) || size != change.copySize ||
      hash != change.copyHash) {
    return {RollbackResult::kCopyChanged, {}};
  }
  ClearReadOnly(files_, destination);
  port::Status restored = files_.CopyFileW(copy, destination, false);
  if (restored && !FlushToDisk(files_, destination)) restored = port::Status::Failed(0);
  return {restored ? RollbackResult::kRestored : RollbackResult::kFailed, restored};
}

DoOutcome WalkChanges::Do(CVRNManager& m, UpdateEntry& entry, std::size_t index,
                          const std::wstring& name, const std::wstring& sourceFolder) {
  const std::wstring what = L"PatchFile = " + entry.fileName;
  FileChange* change = Find(index);
  // The record says which destination may be half-written if the run
  // stops from here on; it must say so before the file is touched.
  if (!change || !journal_.MarkBegun(index)) {
    m.WriteLog(kDoUpdate, what + L" : backup record not written", L"Failed");
    return DoOutcome::kNotRecorded;
  }
  change->begun = true;
  // A failed first call is repeated once: a copy error or a file in use
  // has turned on the restart, and the repetition takes the forced form.
  // Anything else would fail the same way again.
  bool installed = false;
  for (int attempt = 0; attempt < 2 && !installed; ++attempt) {
    m.m_installFailed = 0;
    installed = m.InstallPatch(name, sourceFolder, entry.installPath);
  }
  entry.installed = installed ? 1 : 0;
  if (installed) {
    // Lost, the mark only costs the next start a needless restore.
    change->completed = journal_.MarkCompleted(index);
    return DoOutcome::kInstalled;
  }
  if (m.m_installError == 0) {
    // Declined without an error: the installed file is kept (it is newer
    // than the patch's, for instance).
    m.WriteLog(kDoUpdate, what + L" : not copied", L"Info");
    return DoOutcome::kDeclined;
  }
  m.WriteLog(kDoUpdate, what + L", SetupInstallFileEx error " + std::to_wstring(m.m_installError),
             L"Failed");
  // A copy that failed part-way (a full disk under Wine's Setup API) can
  // leave the start of the new file in place of the original.
  const RollbackResult back = Rollback(*change);
  switch (back.kind) {
    case RollbackResult::kNothingThere: break;
    case RollbackResult::kRemoved:
      m.WriteLog(kDoUpdate, what + L" : partial copy removed", L"Info");
      break;
    case RollbackResult::kRestored:
      m.WriteLog(kDoUpdate, what + L" : original restored", L"Info");
      break;
    case RollbackResult::kCopyIsAnothers:
      m.WriteLog(kDoUpdate, what + L" : original not restored, its backup copy is another's",
                 L"Failed");
      break;
    case RollbackResult::kCopyChanged:
      m.WriteLog(kDoUpdate, what + L" : original not restored, its backup copy changed", L"Failed");
      break;
    case RollbackResult::kFailed:
      m.WriteResult(
          kDoUpdate,
          what + (change->copyName.empty() ? L" : partial copy removed" : L" : original restored"),
          back.status, L"Info");
      break;
  }
  return DoOutcome::kFailed;
}

std::wstring WalkChanges::Load(const std::wstring& folder,
                               const std::unordered_set<std::wstring>& allowed, bool& present) {
  Start(folder);
  const JournalFile file = ReadJournalFile(files_, folder);
  present = file.present;
  if (!present) return {};
  if (!file.text) return file.refusal;
  JournalReading reading = ReadJournal(*file.text);
  if (!reading.record) return reading.refusal;
  changes_ = std::move(reading.record->changes);
  walkEnded_ = reading.record->walkEnded;
  for (std::size_t i = 0; i < changes_.size(); ++i) at_[changes_[i].index] = i;
  for (const FileChange& c : changes_) {
    if (!allowed.count(FileNameKey(files_, c.destination))) {
      return L"names a destination that is not this patch's: " + c.destination;
    }
    if (!c.copyName.empty() && (!IsPlainFileName(c.copyName) ||
                                !SameFileName(files_, c.copyName, NameOf(c.destination)))) {
      return L"names a backup copy outside its folder: " + c.copyName;
    }
  }
  if (walkEnded_) return {};
  for (const FileChange& c : changes_) {
    if (!c.begun || c.copyName.empty() || !OwnsCopy(c)) continue;
    const UniqueFile held = OpenHeld(files_, folder + L"\\" + c.copyName, port::kGenericRead);
    std::uint64_t size = 0;
    std::string hash;
    if (!held.Valid() || !HashOpenFile(files_, held.Get(), size, hash) || size != c.copySize ||
        hash != c.copyHash) {
      return L"its backup copy is not what was saved: " + c.copyName;
    }
  }
  return {};
}

port::Status WalkChanges::RemoveFolder() {
  // The record first: a folder that lost it is never read again.
  port::Status removed =
      journal_.Exists() ? journal_.Remove() : files_.DeleteFileW(folder_ + L"\\" + kJournalName);
  if (!removed) return removed;
  const std::wstring& folder = folder_;
  for (const port::FindData& found : files_.FindAll(folder + L"\\*")) {
    if (found.attributes & (port::kFileAttributeDirectory | port::kFileAttributeReparsePoint)) {
      continue;
    }
    const std::wstring path = folder + L"\\" + found.fileName;
    ClearReadOnly(files_, path);
    files_.DeleteFileW(path);
  }
  return files_.RemoveDirectoryW(folder);
}

}  // namespace qz
