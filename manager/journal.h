// The walk's record in the backup folder: which destinations the run will
// touch and with which backup copy, which it has begun and completed, and
// whether the walk came to its end. A run that is stopped inside its walk
// (power lost, process killed) leaves it behind for the next start to put
// every destination it touched back as it was.
//
// One line a fact, appended and flushed, never rewritten; each line ends
// with a checksum and a line feed, so that a line cut off or damaged is
// skipped and the lines before it still read:
//   O <index> <destination> <backup copy name>   an original was saved
//   N <index> <destination>                      no file was there
//   B <index>                                    InstallPatch begins
//   C <index>                                    installed or queued
//   E 0                                          the walk came to its end
// Fields are separated by tabs; every character outside printable ASCII,
// and '%', is written as '%', its hexadecimal code and ';'.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "manager/records.h"
#include "platform/files.h"

namespace qz {

inline constexpr wchar_t kJournalName[] = L"QZVRN.journal";

struct JournalDestination {
  std::size_t index = 0;
  std::wstring path;
  std::wstring backupCopy;  // the name in the backup folder; empty: no original
  bool begun = false;
  bool completed = false;
};

struct JournalRecord {
  std::vector<JournalDestination> destinations;  // in the order of the record
  bool walkEnded = false;
};

JournalRecord ReadJournal(const std::string& text);
// The record in `folder`; nothing when there is none or it cannot be read.
std::optional<std::string> ReadJournalFile(port::Files& files, const std::wstring& folder);
// Opens the file with write access and flushes it to the disk; false when
// it cannot.
bool FlushToDisk(port::Files& files, const std::wstring& path);

class WalkJournal {
 public:
  explicit WalkJournal(port::Files& files) : files_(files) {}
  ~WalkJournal() { Close(); }
  WalkJournal(const WalkJournal&) = delete;
  WalkJournal& operator=(const WalkJournal&) = delete;

  // Writes the record of every entry with an install path into `folder`
  // and flushes it; Backup has filled each entry's backup record.
  bool Create(const std::wstring& folder, const std::vector<UpdateEntry>& entries);
  // Each is flushed before it returns.
  bool MarkBegun(std::size_t index) { return Append({L"B", std::to_wstring(index)}); }
  bool MarkCompleted(std::size_t index) { return Append({L"C", std::to_wstring(index)}); }
  bool MarkWalkEnded() { return Append({L"E", L"0"}); }
  // Closes and deletes the record (first of the backup folder's files, so
  // that a folder never holds a record without its copies).
  void Remove();
  void Close();

 private:
  bool Append(const std::vector<std::wstring>& fields);
  port::Files& files_;
  port::Handle handle_ = 0;
  std::wstring path_;
};

}  // namespace qz
