// The walk's record: its line format, its writer and its reader.
#include "manager/journal.h"

#include <cstdint>
#include <cstdio>
#include <unordered_map>

namespace qz {

namespace {

// A record larger than this was not written by a walk.
constexpr std::size_t kMaxRecordBytes = 16u << 20;

std::uint32_t Checksum(const std::string& bytes) {  // FNV-1a
  std::uint32_t hash = 2166136261u;
  for (unsigned char c : bytes) hash = (hash ^ c) * 16777619u;
  return hash;
}

std::string Hex(unsigned long value, int width) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*lx", width, value);
  return buffer;
}

std::string Escape(const std::wstring& field) {
  std::string out;
  for (wchar_t c : field) {
    if (c >= 0x20 && c < 0x7F && c != L'%') {
      out += static_cast<char>(c);
    } else {
      out += '%' + Hex(static_cast<unsigned long>(c), 1) + ';';
    }
  }
  return out;
}

std::optional<std::wstring> Unescape(const std::string& field) {
  std::wstring out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '%') {
      out += static_cast<wchar_t>(static_cast<unsigned char>(field[i]));
      continue;
    }
    // Looked for within the longest code only, so that a line of many
    // '%' costs no more than its length.
    std::size_t end = i + 1;
    while (end < field.size() && end - i < 5 && field[end] != ';') ++end;
    if (end >= field.size() || field[end] != ';' || end == i + 1) return std::nullopt;
    unsigned long code = 0;
    for (std::size_t j = i + 1; j < end; ++j) {
      const char h = field[j];
      const int digit = h >= '0' && h <= '9' ? h - '0' : h >= 'a' && h <= 'f' ? h - 'a' + 10 : -1;
      if (digit < 0) return std::nullopt;
      code = code * 16 + static_cast<unsigned long>(digit);
    }
    out += static_cast<wchar_t>(code);
    i = end;
  }
  return out;
}

std::string Line(const std::vector<std::wstring>& fields) {
  std::string body;
  for (const std::wstring& field : fields) {
    if (!body.empty()) body += '\t';
    body += Escape(field);
  }
  return body + '\t' + Hex(Checksum(body), 8) + '\n';
}

// The fields of one line, or nothing when its checksum does not hold.
std::optional<std::vector<std::wstring>> Fields(const std::string& line) {
  const std::size_t tab = line.rfind('\t');
  if (tab == std::string::npos) return std::nullopt;
  const std::string body = line.substr(0, tab);
  if (line.substr(tab + 1) != Hex(Checksum(body), 8)) return std::nullopt;
  std::vector<std::wstring> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = body.find('\t', start);
    const auto field = Unescape(body.substr(start, end - start));
    if (!field) return std::nullopt;
    fields.push_back(*field);
    if (end == std::string::npos) return fields;
    start = end + 1;
  }
}

std::optional<std::uint64_t> Number(const std::wstring& text, std::size_t digits) {
  if (text.empty() || text.size() > digits) return std::nullopt;
  std::uint64_t value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - L'0');
  }
  return value;
}

bool IsHash(const std::wstring& text) {
  if (text.size() != 64) return false;
  for (wchar_t c : text) {
    if (!((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'))) return false;
  }
  return true;
}

JournalReading Refused(const std::wstring& why) { return {std::nullopt, why}; }

}  // namespace

JournalReading ReadJournal(const std::string& text) {
  JournalRecord record;
  std::unordered_map<std::size_t, std::size_t> at;  // index -> place in the record
  std::size_t start = 0;
  std::size_t number = 0;
  // A last line without its line feed was cut off by a kill: it is not
  // read. Any other line that does not read is damage, not a kill's trace.
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::wstring line = L"line " + std::to_wstring(++number);
    const auto fields = Fields(text.substr(start, end - start));
    if (!fields || fields->size() < 2) return Refused(line + L" is damaged");
    if (record.walkEnded) return Refused(line + L" follows the end of the walk");
    const std::wstring& kind = (*fields)[0];
    const auto index = Number((*fields)[1], 9);
    if (!index) return Refused(line + L" is damaged");
    const auto known = at.find(static_cast<std::size_t>(*index));
    if ((kind == L"O" && fields->size() == 6) || (kind == L"N" && fields->size() == 3)) {
      if (known != at.end()) return Refused(line + L" names its entry twice");
      FileChange change;
      change.index = static_cast<std::size_t>(*index);
      change.destination = (*fields)[2];
      if (kind == L"O") {
        const auto size = Number((*fields)[4], 19);
        if (!size || !IsHash((*fields)[5]) || (*fields)[3].empty()) {
          return Refused(line + L" is damaged");
        }
        change.copyName = (*fields)[3];
        change.copySize = *size;
        change.copyHash = std::string((*fields)[5].begin(), (*fields)[5].end());
      }
      if (change.destination.empty()) return Refused(line + L" is damaged");
      at[change.index] = record.changes.size();
      record.changes.push_back(std::move(change));
    } else if ((kind == L"B" || kind == L"C") && fields->size() == 2) {
      if (known == at.end()) return Refused(line + L" marks an entry the record does not name");
      (kind == L"B" ? record.changes[known->second].begun
                    : record.changes[known->second].completed) = true;
    } else if (kind == L"E" && fields->size() == 2 && *index == 0) {
      record.walkEnded = true;
    } else {
      return Refused(line + L" is damaged");
    }
  }
  return {std::move(record), {}};
}

JournalFile ReadJournalFile(port::Files& files, const std::wstring& folder) {
  JournalFile result;
  // The folder's listing says whether there is a record; a record that is
  // listed but cannot be read whole is never taken as none.
  // "." is listed in every folder that can be searched.
  const std::vector<port::FindData> listing = files.FindAll(folder + L"\\*");
  if (listing.empty()) {
    result.present = true;
    result.refusal = L"the backup folder cannot be listed";
    return result;
  }
  for (const port::FindData& found : listing) {
    if (files.CompareStringOrdinal(found.fileName, kJournalName) == port::kCstrEqual) {
      result.present = true;
      if (found.attributes & (port::kFileAttributeDirectory | port::kFileAttributeReparsePoint)) {
        result.refusal = L"the record is not a plain file";
        return result;
      }
    }
  }
  if (!result.present) return result;

  const port::Result<port::FileHandle> opened = files.CreateFileW(
      folder + L"\\" + kJournalName, port::kGenericRead, port::kOpenExisting, port::kFileShareRead);
  port::UniqueFile file(files, opened.value);
  if (!file.Valid()) {
    result.refusal = L"the record cannot be opened";
    return result;
  }
  std::string text;
  char buffer[65536];
  for (;;) {
    const port::Result<std::size_t> read = files.ReadFile(file.Get(), buffer, sizeof buffer);
    if (!read) {
      result.refusal = L"the record cannot be read past byte " + std::to_wstring(text.size());
      return result;
    }
    if (read.value == 0) break;
    text.append(buffer, read.value);
    if (text.size() > kMaxRecordBytes) {
      result.refusal = L"the record is larger than any walk writes";
      return result;
    }
  }
  result.text = std::move(text);
  return result;
}

bool FlushToDisk(port::Files& files, const std::wstring& path) {
  port::UniqueFile file(files,
                        files.CreateFileW(path, port::kGenericWrite, port::kOpenExisting).value);
  return file.Valid() && files.FlushFileBuffers(file.Get());
}

bool WalkJournal::Create(const std::wstring& folder, const std::vector<FileChange>& changes) {
  Close();
  path_ = folder + L"\\" + kJournalName;
  handle_.Put() =
      files_.CreateFileW(path_, port::kGenericWrite, port::kCreateNew, port::kFileShareRead).value;
  if (!handle_.Valid()) {
    path_.clear();
    return false;
  }
  std::string text;
  for (const FileChange& c : changes) {
    const std::wstring index = std::to_wstring(c.index);
    text += c.copyName.empty()
                ? Line({L"N", index, c.destination})
                : Line({L"O", index, c.destination, c.copyName, std::to_wstring(c.copySize),
                        std::wstring(c.copyHash.begin(), c.copyHash.end())});
  }
  return files_.WriteFile(handle_.Get(), text.data(), text.size()) &&
         files_.FlushFileBuffers(handle_.Get());
}

bool WalkJournal::Append(const std::vector<std::wstring>& fields) {
  if (!handle_.Valid()) return false;
  const std::string line = Line(fields);
  return files_.WriteFile(handle_.Get(), line.data(), line.size()) &&
         files_.FlushFileBuffers(handle_.Get());
}

void WalkJournal::Close() { handle_.Reset(); }

port::Status WalkJournal::Remove() {
  Close();
  if (path_.empty()) return port::Status::Ok();
  const port::Status deleted = files_.DeleteFileW(path_);
  if (deleted) path_.clear();
  return deleted;
}

}  // namespace qz
