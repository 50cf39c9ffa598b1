// FakeFiles: the Files port (platform/files.h) in memory, for the native unit tests.
#pragma once
#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/fake/fold.h"
#include "platform/files.h"

namespace qz::fake {

class FakeFiles : public port::Files {
 public:
  struct Entry {
    std::string contents;
    bool directory = false;
    bool locked = false;      // open without sharing: cannot be written, replaced or deleted
    DWORD attributes = 0x20;  // FILE_ATTRIBUTE_ARCHIVE; folders 0x10
    std::optional<std::size_t> readFailsAt;  // ReadFile fails from this offset (a bad sector)
  };
  // Relative paths are taken against this folder, as the process's current
  // directory would be.
  std::wstring currentDirectory = L"C:\\patch";
  std::set<std::wstring> unwritableFolders;  // folded; nothing can be created there
  bool failWrites = false;
  std::optional<std::size_t> freeBytes;  // a copy larger than this fails (disk full)

  void AddFile(const std::wstring& path, const std::string& contents = {});
  void AddFolder(const std::wstring& path);
  bool Exists(const std::wstring& path) const;
  std::optional<std::string> Contents(const std::wstring& path) const;
  Entry* Find(const std::wstring& path);
  // The names directly in `folder`, in folded-path order.
  std::vector<std::wstring> Names(const std::wstring& folder) const;
  std::wstring Absolute(const std::wstring& path) const;
  std::size_t OpenHandles() const { return open_.size() + searches_.size(); }

  port::Result<port::FileHandle> CreateFileW(const std::wstring& path) override;
  port::Result<port::FileHandle> CreateFileW(const std::wstring& path, DWORD desiredAccess,
                                             DWORD creationDisposition) override;
  port::Result<port::FileHandle> CreateFileW(const std::wstring& path, DWORD desiredAccess,
                                             DWORD creationDisposition, DWORD shareMode) override;
  port::Status WriteFile(port::FileHandle file, const void* data, std::size_t size) override;
  port::Result<std::size_t> ReadFile(port::FileHandle file, void* data, std::size_t size) override;
  port::Status FlushFileBuffers(port::FileHandle file) override;
  port::Status CloseHandle(port::FileHandle file) override;
  port::Result<port::FindFirst> FindFirstFileW(const std::wstring& pattern) override;
  port::Result<port::FindData> FindNextFileW(port::FindHandle search) override;
  port::Status FindClose(port::FindHandle search) override;
  port::Result<DWORD> GetFileAttributesW(const std::wstring& path) override;
  // Narrow paths are Latin-1; narrow copies are also recorded here.
  port::Result<DWORD> GetFileAttributesA(const std::string& path) override;
  port::Status CopyFileA(const std::string& from, const std::string& to,
                         bool failIfExists) override;
  std::vector<std::pair<std::string, std::string>> copiesA;
  port::Status SetFileAttributesW(const std::wstring& path, DWORD attributes) override;
  port::Status CreateDirectoryW(const std::wstring& path) override;
  port::Status RemoveDirectoryW(const std::wstring& path) override;
  port::Status CopyFileW(const std::wstring& from, const std::wstring& to,
                         bool failIfExists) override;
  port::Status MoveFileW(const std::wstring& from, const std::wstring& to) override;
  port::Status DeleteFileW(const std::wstring& path) override;
  std::wstring CharUpperBuffW(const std::wstring& text) override { return UpperCase(text); }
  int CompareStringOrdinal(const std::wstring& a, const std::wstring& b) override {
    const std::wstring upperA = UpperCase(a), upperB = UpperCase(b);
    return upperA == upperB ? port::kCstrEqual : upperA < upperB ? 1 : 3;
  }
  // Whether an open handle of another holder keeps writers out of `path`.
  bool HeldAgainstWriting(const std::wstring& path) const;

  // Writes a file as an installer would, into an existing folder.
  void Put(const std::wstring& full, Entry e);

  std::map<std::wstring, Entry> entries;  // by folded absolute path
  std::vector<std::wstring> createdDirectories;
  std::vector<std::pair<std::wstring, std::wstring>> copies;
  std::vector<std::pair<std::wstring, std::wstring>> moves;
  // By folded path: the size the file had at its last FlushFileBuffers,
  // what a power cut would leave of it.
  std::map<std::wstring, std::size_t> flushedSizes;

 private:
  struct Open {
    std::wstring path;  // folded
    bool writable = true;
    std::size_t position = 0;
    DWORD share = port::kFileShareRead | port::kFileShareWrite;
  };
  bool WritableFolder(const std::wstring& full) const;
  void Erase(const std::wstring& full);
  std::map<std::wstring, std::wstring> names_;  // folded path -> name as created
  std::map<port::FileHandle, Open> open_;
  struct Search {
    std::vector<port::FindData> matches;
    std::size_t next = 0;
  };
  std::map<port::FindHandle, Search> searches_;
  std::uintptr_t next_ = 0x100;
};

}  // namespace qz::fake
