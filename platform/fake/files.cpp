// The fake file system: a map of folded absolute paths.
#include <algorithm>

#include "platform/fake/fake_platform.h"
#include "platform/errors.h"

namespace qz::fake {

namespace {

std::wstring ParentOf(const std::wstring& path) {
  const auto pos = path.find_last_of(L'\\');
  if (pos == std::wstring::npos) return {};
  return path.substr(0, pos == 2 ? 3 : pos);
}

std::wstring NameOf(const std::wstring& path) {
  const auto pos = path.find_last_of(L'\\');
  return pos == std::wstring::npos ? path : path.substr(pos + 1);
}

// * and ? as FindFirstFileW reads them, on folded text; "*.*" matches
// every name, also one without a dot.
bool Matches(const std::wstring& pattern, const std::wstring& name) {
  if (pattern == L"*.*") return true;
  std::size_t p = 0, n = 0, star = std::wstring::npos, mark = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == L'?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == L'*') {
      star = p++;
      mark = n;
    } else if (star != std::wstring::npos) {
      p = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == L'*') ++p;
  return p == pattern.size();
}

}  // namespace

std::wstring FakeFiles::Absolute(const std::wstring& path) const {
  const bool rooted = (path.size() >= 2 && path[1] == L':') || (!path.empty() && path[0] == L'\\');
  std::wstring full = rooted ? path : currentDirectory + L"\\" + path;
  while (full.size() > 3 && full.back() == L'\\') full.pop_back();
  // Windows drops trailing dots and blanks of the last name: "s.dll." is
  // "s.dll".
  const std::wstring name = NameOf(full);
  if (name != L"." && name != L"..") {
    while (full.size() > 3 && (full.back() == L'.' || full.back() == L' ')) full.pop_back();
  }
  return full;
}

void FakeFiles::AddFolder(const std::wstring& path) {
  const std::wstring full = Absolute(path);
  const std::wstring parent = ParentOf(full);
  if (!parent.empty() && parent != full && parent.size() > 3 && !Exists(parent)) {
    AddFolder(parent);
  }
  Entry e;
  e.directory = true;
  e.attributes = port::kFileAttributeDirectory;
  entries[Fold(full)] = e;
  names_[Fold(full)] = NameOf(full);
}

void FakeFiles::AddFile(const std::wstring& path, const std::string& contents) {
  const std::wstring full = Absolute(path);
  const std::wstring parent = ParentOf(full);
  if (parent.size() > 3 && !Exists(parent)) AddFolder(parent);
  Entry e;
  e.contents = contents;
  entries[Fold(full)] = e;
  names_[Fold(full)] = NameOf(full);
}

FakeFiles::Entry* FakeFiles::Find(const std::wstring& path) {
  auto it = entries.find(Fold(Absolute(path)));
  return it == entries.end() ? nullptr : &it->second;
}

bool FakeFiles::Exists(const std::wstring& path) const {
  return entries.count(Fold(Absolute(path))) != 0;
}

std::optional<std::string> FakeFiles::Contents(const std::wstring& path) const {
  auto it = entries.find(Fold(Absolute(path)));
  if (it == entries.end() || it->second.directory) return std::nullopt;
  return it->second.contents;
}

std::vector<std::wstring> FakeFiles::Names(const std::wstring& folder) const {
  std::vector<std::wstring> found;
  const std::wstring key = Fold(Absolute(folder));
  for (const auto& [path, e] : entries) {
    if (ParentOf(path) != key || path == key) continue;
    const auto name = names_.find(path);
    found.push_back(name != names_.end() ? name->second : NameOf(path));
  }
  return found;
}

bool FakeFiles::WritableFolder(const std::wstring& full) const {
  const std::wstring parent = ParentOf(full);
  if (parent.empty() || unwritableFolders.count(Fold(parent))) return false;
  return parent.size() <= 3 || Exists(parent);
}

void FakeFiles::Put(const std::wstring& full, Entry e) {
  entries[Fold(full)] = std::move(e);
  names_[Fold(full)] = NameOf(full);
}

void FakeFiles::Erase(const std::wstring& full) {
  entries.erase(Fold(full));
  names_.erase(Fold(full));
}

port::Result<port::FileHandle> FakeFiles::CreateFileW(const std::wstring& path) {
  using Opened = port::Result<port::FileHandle>;
  const std::wstring full = Absolute(path);
  if (!WritableFolder(full)) return Opened::Failed(port::kErrorPathNotFound);
  Entry* existing = Find(full);
  if (existing && existing->directory) return Opened::Failed(port::kErrorAccessDenied);
  if (existing && existing->locked) return Opened::Failed(port::kErrorSharingViolation);
  Put(full, Entry{});
  const port::FileHandle h{next_++};
  open_[h] = Open{Fold(full)};
  return Opened::Ok(h);
}

port::Result<port::FileHandle> FakeFiles::CreateFileW(const std::wstring& path, DWORD desiredAccess,
                                                      DWORD creationDisposition) {
  return CreateFileW(path, desiredAccess, creationDisposition,
                     port::kFileShareRead | port::kFileShareWrite);
}

bool FakeFiles::HeldAgainstWriting(const std::wstring& path) const {
  const std::wstring folded = Fold(Absolute(path));
  for (const auto& [handle, open] : open_) {
    if (open.path == folded && !(open.share & port::kFileShareWrite)) return true;
  }
  return false;
}

port::Result<port::FileHandle> FakeFiles::CreateFileW(const std::wstring& path, DWORD desiredAccess,
                                                      DWORD creationDisposition, DWORD shareMode) {
  using Opened = port::Result<port::FileHandle>;
  if (creationDisposition == port::kCreateNew && Find(path)) {
    return Opened::Failed(port::kErrorFileExists);
  }
  const bool writable = (desiredAccess & port::kGenericWrite) != 0;
  if ((writable || creationDisposition != port::kOpenExisting) && HeldAgainstWriting(path)) {
    return Opened::Failed(port::kErrorSharingViolation);
  }
  Opened opened;
  if (creationDisposition != port::kOpenExisting) {
    opened = CreateFileW(path);
  } else {
    const Entry* e = Find(path);
    if (!e) return Opened::Failed(port::kErrorFileNotFound);
    if (e->directory) return Opened::Failed(port::kErrorAccessDenied);
    if (e->locked) return Opened::Failed(port::kErrorSharingViolation);
    if (writable && (e->attributes & port::kFileAttributeReadOnly)) {
      return Opened::Failed(port::kErrorAccessDenied);
    }
    opened = Opened::Ok(port::FileHandle{next_++});
    open_[opened.value] = Open{Fold(Absolute(path)), writable};
  }
  if (opened) open_[opened.value].share = shareMode;
  return opened;
}

port::Status FakeFiles::WriteFile(port::FileHandle file, const void* data, std::size_t size) {
  auto it = open_.find(file);
  if (it == open_.end()) return port::Status::Failed(port::kErrorInvalidHandle);
  if (!it->second.writable) return port::Status::Failed(port::kErrorAccessDenied);
  if (failWrites) return port::Status::Failed(port::kErrorDiskFull);
  entries[it->second.path].contents.append(static_cast<const char*>(data), size);
  return port::Status::Ok();
}

port::Result<std::size_t> FakeFiles::ReadFile(port::FileHandle file, void* data, std::size_t size) {
  using Read = port::Result<std::size_t>;
  auto it = open_.find(file);
  if (it == open_.end()) return Read::Failed(port::kErrorInvalidHandle);
  const Entry& e = entries[it->second.path];
  const std::string& contents = e.contents;
  if (e.readFailsAt && it->second.position >= *e.readFailsAt) {
    return Read::Failed(port::kErrorCrc);
  }
  std::size_t read = 0;
  if (it->second.position < contents.size()) {
    read = std::min(size, contents.size() - it->second.position);
    if (e.readFailsAt) read = std::min(read, *e.readFailsAt - it->second.position);
    contents.copy(static_cast<char*>(data), read, it->second.position);
    it->second.position += read;
  }
  return Read::Ok(read);
}

port::Status FakeFiles::FlushFileBuffers(port::FileHandle file) {
  auto it = open_.find(file);
  if (it == open_.end()) return port::Status::Failed(port::kErrorInvalidHandle);
  if (!it->second.writable) return port::Status::Failed(port::kErrorAccessDenied);
  flushedSizes[it->second.path] = entries[it->second.path].contents.size();
  return port::Status::Ok();
}

port::Status FakeFiles::CloseHandle(port::FileHandle file) {
  if (open_.erase(file) == 0) return port::Status::Failed(port::kErrorInvalidHandle);
  return port::Status::Ok();
}

port::Result<port::FindFirst> FakeFiles::FindFirstFileW(const std::wstring& pattern) {
  using Found = port::Result<port::FindFirst>;
  const std::wstring full = Absolute(pattern);
  const std::wstring folder = ParentOf(full);
  const std::wstring wanted = Fold(NameOf(full));
  std::vector<port::FindData> matches;
  // Like FindFirstFileW, a search in a folder also reports "." and "..".
  if (Matches(wanted, L".") && (folder.size() > 3 || Exists(folder))) {
    if (Find(folder) && Find(folder)->directory) {
      matches.push_back({L".", port::kFileAttributeDirectory});
      matches.push_back({L"..", port::kFileAttributeDirectory});
    }
  }
  for (const auto& name : Names(folder)) {
    if (Matches(wanted, Fold(name))) {
      const std::wstring path = folder.back() == L'\\' ? folder + name : folder + L"\\" + name;
      matches.push_back({name, Find(path)->attributes});
    }
  }
  if (matches.empty()) return Found::Failed(port::kErrorFileNotFound);
  const port::FindHandle h{next_++};
  port::FindFirst first{h, matches.front()};
  searches_[h] = {std::move(matches), 1};
  return Found::Ok(std::move(first));
}

port::Result<port::FindData> FakeFiles::FindNextFileW(port::FindHandle search) {
  using Next = port::Result<port::FindData>;
  auto it = searches_.find(search);
  if (it == searches_.end()) return Next::Failed(port::kErrorInvalidHandle);
  if (it->second.next >= it->second.matches.size()) return Next::Failed(port::kErrorNoMoreFiles);
  return Next::Ok(it->second.matches[it->second.next++]);
}

port::Status FakeFiles::FindClose(port::FindHandle search) {
  if (searches_.erase(search) == 0) return port::Status::Failed(port::kErrorInvalidHandle);
  return port::Status::Ok();
}

port::Result<DWORD> FakeFiles::GetFileAttributesW(const std::wstring& path) {
  const Entry* e = Find(path);
  if (!e) return port::Result<DWORD>::Failed(port::kErrorFileNotFound);
  return port::Result<DWORD>::Ok(e->attributes);
}

port::Status FakeFiles::SetFileAttributesW(const std::wstring& path, DWORD attributes) {
  Entry* e = Find(path);
  if (!e) return port::Status::Failed(port::kErrorFileNotFound);
  if (e->locked) return port::Status::Failed(port::kErrorAccessDenied);
  e->attributes = attributes | (e->directory ? port::kFileAttributeDirectory : 0);
  return port::Status::Ok();
}

port::Status FakeFiles::CreateDirectoryW(const std::wstring& path) {
  const std::wstring full = Absolute(path);
  if (Exists(full)) return port::Status::Failed(port::kErrorAlreadyExists);
  if (!WritableFolder(full)) return port::Status::Failed(port::kErrorPathNotFound);
  Entry e;
  e.directory = true;
  e.attributes = port::kFileAttributeDirectory;
  Put(full, e);
  createdDirectories.push_back(full);
  return port::Status::Ok();
}

port::Status FakeFiles::RemoveDirectoryW(const std::wstring& path) {
  const std::wstring full = Absolute(path);
  Entry* e = Find(full);
  if (!e || !e->directory) return port::Status::Failed(port::kErrorFileNotFound);
  if (!Names(full).empty()) return port::Status::Failed(port::kErrorDirNotEmpty);
  if (e->locked || (e->attributes & port::kFileAttributeReadOnly))
    return port::Status::Failed(port::kErrorAccessDenied);
  Erase(full);
  return port::Status::Ok();
}

port::Status FakeFiles::CopyFileW(const std::wstring& from, const std::wstring& to,
                                  bool failIfExists) {
  const auto source = Contents(from);
  if (!source) return port::Status::Failed(port::kErrorFileNotFound);
  const std::wstring full = Absolute(to);
  if (!WritableFolder(full)) return port::Status::Failed(port::kErrorPathNotFound);
  Entry* target = Find(full);
  if (target && failIfExists) return port::Status::Failed(port::kErrorFileExists);
  if (target && (target->locked || target->directory || HeldAgainstWriting(full)))
    return port::Status::Failed(port::kErrorSharingViolation);
  if (target && (target->attributes & port::kFileAttributeReadOnly))
    return port::Status::Failed(port::kErrorAccessDenied);
  if (freeBytes && source->size() > *freeBytes) return port::Status::Failed(port::kErrorDiskFull);
  Entry e;
  e.contents = *source;
  Put(full, e);
  copies.emplace_back(Absolute(from), full);
  return port::Status::Ok();
}

port::Status FakeFiles::MoveFileW(const std::wstring& from, const std::wstring& to) {
  const std::wstring source = Absolute(from);
  const std::wstring target = Absolute(to);
  Entry* e = Find(source);
  if (!e) return port::Status::Failed(port::kErrorFileNotFound);
  if (Exists(target)) return port::Status::Failed(port::kErrorAlreadyExists);
  if (!WritableFolder(target)) return port::Status::Failed(port::kErrorPathNotFound);
  // A running program may be renamed but not deleted: `locked` does not
  // stop a move.
  Entry moved = *e;
  Erase(source);
  Put(target, moved);
  moves.emplace_back(source, target);
  return port::Status::Ok();
}

port::Status FakeFiles::DeleteFileW(const std::wstring& path) {
  Entry* e = Find(path);
  if (!e) return port::Status::Failed(port::kErrorFileNotFound);
  if (e->directory || e->locked || (e->attributes & port::kFileAttributeReadOnly))
    return port::Status::Failed(port::kErrorAccessDenied);
  // Our own handles share reading and writing, not deleting.
  const std::wstring folded = Fold(Absolute(path));
  for (const auto& [handle, open] : open_) {
    if (open.path == folded) return port::Status::Failed(port::kErrorSharingViolation);
  }
  Erase(Absolute(path));
  return port::Status::Ok();
}

port::Result<DWORD> FakeFiles::GetFileAttributesA(const std::string& path) {
  const Entry* entry = Find(W(path));
  if (entry == nullptr) return port::Result<DWORD>::Failed(port::kErrorFileNotFound);
  return port::Result<DWORD>::Ok(entry->directory ? port::kFileAttributeDirectory
                                                  : port::kFileAttributeNormal);
}

port::Status FakeFiles::CopyFileA(const std::string& from, const std::string& to,
                                  bool failIfExists) {
  copiesA.emplace_back(from, to);
  return CopyFileW(W(from), W(to), failIfExists);
}

}  // namespace qz::fake
