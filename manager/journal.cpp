// The walk's record: its line format, its writer and its reader.
#include "manager/journal.h"

#include <cstdint>
#include <cstdio>

#include "manager/patch_names.h"

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
    const std::size_t end = field.find(';', i);
    if (end == std::string::npos || end == i + 1 || end - i > 9) return std::nullopt;
    unsigned long code = 0;
    for (std::size_t j = i + 1; j < end; ++j) {
      const char h = field[j];
      const int digit = h >= '0' && h <= '9'   ? h - '0'
                        : h >= 'a' && h <= 'f' ? h - 'a' + 10
                                               : -1;
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

std::optional<std::size_t> Index(const std::wstring& text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  std::size_t value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    value = value * 10 + static_cast<std::size_t>(c - L'0');
  }
  return value;
}

}  // namespace

JournalRecord ReadJournal(const std::string& text) {
  JournalRecord record;
  std::vector<JournalDestination>& destinations = record.destinations;
  auto find = [&](std::size_t index) -> JournalDestination* {
    for (JournalDestination& d : destinations) {
      if (d.index == index) return &d;
    }
    return nullptr;
  };
  std::size_t start = 0;
  // A last line without its line feed was cut off: it is not read.
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    const auto fields = Fields(text.substr(start, end - start));
    if (!fields || fields->size() < 2) continue;
    const auto index = Index((*fields)[1]);
    if (!index) continue;
    const std::wstring& kind = (*fields)[0];
    if (kind == L"E") record.walkEnded = true;
    JournalDestination* known = find(*index);
    if ((kind == L"O" && fields->size() == 4) || (kind == L"N" && fields->size() == 3)) {
      if (known || (*fields)[2].empty()) continue;
      destinations.push_back({*index, (*fields)[2], kind == L"O" ? (*fields)[3] : L""});
    } else if (known && kind == L"B") {
      known->begun = true;
    } else if (known && kind == L"C") {
      known->completed = true;
    }
  }
  return record;
}

std::optional<std::string> ReadJournalFile(port::Files& files, const std::wstring& folder) {
  port::UniqueHandle<port::Files, &port::Files::CloseHandle> file(
      files, files.CreateFileW(folder + L"\\" + kJournalName, port::kGenericRead,
                               port::kOpenExisting));
  if (!file.Valid()) return std::nullopt;
  std::string text;
  char buffer[4096];
  std::size_t read = 0;
  while (files.ReadFile(file.Get(), buffer, sizeof buffer, read) && read > 0) {
    text.append(buffer, read);
    if (text.size() > kMaxRecordBytes) return std::nullopt;
  }
  return text;
}

bool FlushToDisk(port::Files& files, const std::wstring& path) {
  port::UniqueHandle<port::Files, &port::Files::CloseHandle> file(
      files, files.CreateFileW(path, port::kGenericWrite, port::kOpenExisting));
  return file.Valid() && files.FlushFileBuffers(file.Get());
}

bool WalkJournal::Create(const std::wstring& folder, const std::vector<UpdateEntry>& entries) {
  Close();
  path_ = folder + L"\\" + kJournalName;
  handle_ = files_.CreateFileW(path_);
  if (handle_ == 0) return false;
  std::string text;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const UpdateEntry& entry = entries[i];
    if (entry.installPath.empty()) continue;
    const std::wstring destination = entry.installPath + L"\\" + LastComponent(entry.fileName);
    text += entry.backedUp
                ? Line({L"O", std::to_wstring(i), destination, entry.backup.backedUpFileName})
                : Line({L"N", std::to_wstring(i), destination});
  }
  return files_.WriteFile(handle_, text.data(), text.size()) &&
         files_.FlushFileBuffers(handle_);
}

bool WalkJournal::Append(const std::vector<std::wstring>& fields) {
  if (handle_ == 0) return false;
  const std::string line = Line(fields);
  return files_.WriteFile(handle_, line.data(), line.size()) &&
         files_.FlushFileBuffers(handle_);
}

void WalkJournal::Close() {
  if (handle_ != 0) files_.CloseHandle(handle_);
  handle_ = 0;
}

void WalkJournal::Remove() {
  Close();
  if (!path_.empty()) files_.DeleteFileW(path_);
  path_.clear();
}

}  // namespace qz
