// Files and folders.
#pragma once
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "platform/handles.h"
#include "platform/types.h"

namespace qz::port {

// What a directory search reports of one entry.
struct FindData {
  std::wstring fileName;  // the name alone, without its folder
  DWORD attributes = 0;
};

// What FindFirstFileW opens: the search, and the first entry it found.
struct FindFirst {
  FindHandle search;
  FindData found;
};

class Files {
 public:
  virtual ~Files() = default;
  // CreateFileW for writing: GENERIC_WRITE, shared for reading and writing,
  // CREATE_ALWAYS (an existing file is emptied).
  virtual Result<FileHandle> CreateFileW(const std::wstring& path) = 0;
  // CreateFileW with the access (kGenericRead, kGenericWrite) and the
  // creation disposition (kOpenExisting, kCreateAlways, kCreateNew) given, shared for
  // reading and writing.
  virtual Result<FileHandle> CreateFileW(const std::wstring& path, DWORD desiredAccess,
                                         DWORD creationDisposition) = 0;
  // The same with the sharing given (kFileShareRead, kFileShareWrite): a
  // file held without write sharing cannot be opened for writing, nor
  // deleted, by anyone else until it is closed.
  virtual Result<FileHandle> CreateFileW(const std::wstring& path, DWORD desiredAccess,
                                         DWORD creationDisposition, DWORD shareMode) = 0;
  // Writes all bytes, or fails.
  virtual Status WriteFile(FileHandle file, const void* data, std::size_t size) = 0;
  // ReadFile: up to `size` bytes from the file position; how many were
  // read, 0 at the end of the file.
  virtual Result<std::size_t> ReadFile(FileHandle file, void* data, std::size_t size) = 0;
  // FlushFileBuffers: what was written reaches the disk (the handle needs
  // write access).
  virtual Status FlushFileBuffers(FileHandle file) = 0;
  virtual Status CloseHandle(FileHandle file) = 0;

  // FindFirstFileW: the first entry that matches `pattern` (wildcards * and
  // ? in its last component); fails when nothing matches.
  virtual Result<FindFirst> FindFirstFileW(const std::wstring& pattern) = 0;
  // The next match; the end of the search fails with kErrorNoMoreFiles.
  virtual Result<FindData> FindNextFileW(FindHandle search) = 0;
  virtual Status FindClose(FindHandle search) = 0;
  // FindFirstFileW and FindNextFileW to the end: every entry that matches,
  // "." and ".." too where the pattern takes them. Empty when nothing
  // matches or the folder cannot be searched.
  std::vector<FindData> FindAll(const std::wstring& pattern);
  // FindFirstFileW used as an existence test: true when any entry (file or
  // folder) matches; the search is closed again.
  bool AnyMatch(const std::wstring& pattern);

  // GetFileAttributesW: fails when the entry cannot be read.
  virtual Result<DWORD> GetFileAttributesW(const std::wstring& path) = 0;
  // The narrow forms, for paths in the ANSI code page (the driver patch).
  virtual Result<DWORD> GetFileAttributesA(const std::string& path) = 0;
  virtual Status CopyFileA(const std::string& from, const std::string& to, bool failIfExists) = 0;
  virtual Status SetFileAttributesW(const std::wstring& path, DWORD attributes) = 0;
  virtual Status CreateDirectoryW(const std::wstring& path) = 0;
  virtual Status RemoveDirectoryW(const std::wstring& path) = 0;
  virtual Status CopyFileW(const std::wstring& from, const std::wstring& to, bool failIfExists) = 0;
  // MoveFileW: fails when the target exists.
  virtual Status MoveFileW(const std::wstring& from, const std::wstring& to) = 0;
  virtual Status DeleteFileW(const std::wstring& path) = 0;

  // Names as the file system compares them. CharUpperBuffW: the text
  // upper-cased by the system's table (LCMapStringW's invariant upper
  // case where the system has it).
  virtual std::wstring CharUpperBuffW(const std::wstring& text) = 0;
  // CompareStringOrdinal with ignoreCase: kCstrEqual when the two are one
  // name. Where kernel32 lacks the call (before Vista), the two texts
  // upper-cased by CharUpperBuffW are compared.
  virtual int CompareStringOrdinal(const std::wstring& a, const std::wstring& b) = 0;
};

using UniqueFind = UniqueHandle<Files, &Files::FindClose>;
using UniqueFile = UniqueHandle<Files, &Files::CloseHandle>;

inline std::vector<FindData> Files::FindAll(const std::wstring& pattern) {
  std::vector<FindData> all;
  Result<FindFirst> first = FindFirstFileW(pattern);
  if (!first) return all;
  const UniqueFind search(*this, first.value.search);
  all.push_back(std::move(first.value.found));
  for (Result<FindData> next = FindNextFileW(search.Get()); next;
       next = FindNextFileW(search.Get())) {
    all.push_back(std::move(next.value));
  }
  return all;
}

inline bool Files::AnyMatch(const std::wstring& pattern) {
  const Result<FindFirst> first = FindFirstFileW(pattern);
  const UniqueFind search(*this, first.value.search);
  return static_cast<bool>(first);
}

}  // namespace qz::port
