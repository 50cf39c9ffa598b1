// The walk's changes to the machine, one unit a file entry. Each unit owns
// its backup copy (saved, flushed and hashed), its marks in the record, Do
// (the Setup API install, normal form then forced) and Rollback (its
// original put back, or a file that was new removed). Backup saves the
// originals, DoUpdate does each unit and rolls back one whose copy failed
// part-way, RecoverInterruptedRun rolls back in reverse what a stopped run
// began, and Cleanup takes the record before the copies it names.
#pragma once
#include <cstddef>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "manager/journal.h"
#include "manager/records.h"
#include "platform/files.h"

namespace qz {

class CVRNManager;

struct RollbackResult {
  enum Kind {
    kNothingThere,    // no original and no file: nothing to do
    kRemoved,         // the file that was new is gone
    kRestored,        // the original is back
    kCopyIsAnothers,  // the copy holds the original of a later entry of its name
    kCopyChanged,     // the copy no longer holds what was saved
    kFailed,          // the system refused; `status` says why
  };
  Kind kind = kFailed;
  port::Status status;
  bool Done() const { return kind == kNothingThere || kind == kRemoved || kind == kRestored; }
};

enum class DoOutcome { kInstalled, kDeclined, kFailed, kNotRecorded };

class WalkChanges {
 public:
  explicit WalkChanges(port::Files& files) : files_(files), journal_(files) {}

  // Backup. A fresh walk whose copies go into `folder`.
  void Start(const std::wstring& folder);
  // Copies the file at `destination` into the folder as `copyName`,
  // flushes and hashes the copy; the failing call's status.
  port::Status SaveOriginal(std::size_t index, const std::wstring& destination,
                            const std::wstring& copyName);
  void AddNew(std::size_t index, const std::wstring& destination);
  // Every unit's record, whole on the disk, before the first file changes.
  bool WriteRecord() { return journal_.Create(folder_, changes_); }

  // DoUpdate: one file entry's install, marked begun before the file is
  // touched; a copy that failed is rolled back. Logs what it does.
  DoOutcome Do(CVRNManager& m, UpdateEntry& entry, std::size_t index, const std::wstring& name,
               const std::wstring& sourceFolder);
  bool EndWalk() { return journal_.MarkWalkEnded(); }

  // Cleanup: the record goes first; while it stays, so must the copies.
  port::Status RemoveRecord() { return journal_.Remove(); }
  const std::wstring& RecordPath() const { return journal_.Path(); }

  // RecoverInterruptedRun: takes the record a stopped run left in `folder`
  // when it holds: every destination one of `allowed` (FileNameKey), every
  // copy a plain name of its destination's, every copy to be put back as
  // it was saved. Empty when it holds; else why not. `present` is false
  // when the folder has no record (its walk never began).
  std::wstring Load(const std::wstring& folder, const std::unordered_set<std::wstring>& allowed,
                    bool& present);
  bool WalkEnded() const { return walkEnded_; }
  const std::wstring& Folder() const { return folder_; }
  const std::vector<FileChange>& Changes() const { return changes_; }
  RollbackResult Rollback(const FileChange& change);
  // The folder's files and the folder, after its record; false when any
  // stays.
  port::Status RemoveFolder();

 private:
  FileChange* Find(std::size_t index);
  // Entries whose files share a name share one copy, which holds the
  // original of the last of them only (or of the same destination).
  bool OwnsCopy(const FileChange& change);
  port::Files& files_;
  std::wstring folder_;
  std::vector<FileChange> changes_;
  std::unordered_map<std::size_t, std::size_t> at_;  // entry index -> unit
  std::vector<bool> owners_;                         // by unit, once known
  bool walkEnded_ = false;
  WalkJournal journal_;
};

}  // namespace qz
