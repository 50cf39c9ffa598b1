// The walk's record in the backup folder: which destinations the run will
// touch, with which backup copy (its size and SHA-256 as saved), which it
// has begun and completed, and whether the walk came to its end. A run
// that is stopped inside its walk (power lost, process killed) leaves it
// behind for the next start to put every destination it touched back.
//
// One line a fact, appended and flushed, never rewritten; each line ends
// with a checksum and a line feed:
//   O <index> <destination> <copy name> <size> <sha256>   an original was saved
//   N <index> <destination>                               no file was there
//   B <index>                                             InstallPatch begins
//   C <index>                                             installed or queued
//   E 0                                                   the walk came to its end
// Fields are separated by tabs; every character outside printable ASCII,
// and '%', is written as '%', its hexadecimal code and ';'. The checksum
// finds a damaged line, it proves nothing about who wrote it: a reader
// takes only a last line cut short (a kill while it was written) as the
// end, and refuses a record with any other damage.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"

namespace qz {

inline constexpr wchar_t kJournalName[] = L"QZVRN.journal";

// One file entry's change as the record keeps it.
struct FileChange {
  std::size_t index = 0;     // the entry's place in the configuration
  std::wstring destination;  // install path, "\" and the file's name
  std::wstring copyName;     // in the backup folder; empty: no original
  std::uint64_t copySize = 0;
  std::string copyHash;  // SHA-256 of the copy, as it was saved
  bool begun = false;
  bool completed = false;
};

struct JournalRecord {
  std::vector<FileChange> changes;  // in the order of the record
  bool walkEnded = false;
};

// A record read, or why it cannot be acted on.
struct JournalReading {
  std::optional<JournalRecord> record;
  std::wstring refusal;
};

// Reads the record's text; linear in its size.
JournalReading ReadJournal(const std::string& text);

// What a backup folder holds of a record: none (the walk never began),
// its text, or why it cannot be read whole.
struct JournalFile {
  bool present = false;
  std::optional<std::string> text;
  std::wstring refusal;
};
JournalFile ReadJournalFile(port::Files& files, const std::wstring& folder);

// Opens the file with write access and flushes it to the disk; false when
// it cannot.
bool FlushToDisk(port::Files& files, const std::wstring& path);

class WalkJournal {
 public:
  explicit WalkJournal(port::Files& files) : files_(files), handle_(files) {}
  WalkJournal(const WalkJournal&) = delete;
  WalkJournal& operator=(const WalkJournal&) = delete;

  // Writes the record of `changes` as a new file in `folder` and flushes
  // it. It stays open without write or delete sharing until Remove, so
  // that nobody else can change or take it while the walk runs.
  bool Create(const std::wstring& folder, const std::vector<FileChange>& changes);
  // Each is flushed before it returns.
  bool MarkBegun(std::size_t index) { return Append({L"B", std::to_wstring(index)}); }
  bool MarkCompleted(std::size_t index) { return Append({L"C", std::to_wstring(index)}); }
  bool MarkWalkEnded() { return Append({L"E", L"0"}); }
  // Closes and deletes the record. Ok when there is none (any more).
  port::Status Remove();
  bool Exists() const { return !path_.empty(); }
  const std::wstring& Path() const { return path_; }
  void Close();

 private:
  bool Append(const std::vector<std::wstring>& fields);
  port::Files& files_;
  port::UniqueFile handle_;
  std::wstring path_;
};

}  // namespace qz
