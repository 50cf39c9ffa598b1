// Files and folders.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/types.h"

namespace qz::port {

// What a directory search reports of one entry.
struct FindData {
  std::wstring fileName;  // the name alone, without its folder
  DWORD attributes = 0;
};

class Files {
 public:
  virtual ~Files() = default;
  // CreateFileW for writing: GENERIC_WRITE, shared for reading and writing,
  // CREATE_ALWAYS (an existing file is emptied). 0 when it cannot be opened.
  virtual Handle CreateFileW(const std::wstring& path) = 0;
  // CreateFileW with the access (kGenericRead, kGenericWrite) and the
  // creation disposition (kOpenExisting, kCreateAlways, kCreateNew) given, shared for
  // reading and writing. 0 when it cannot be opened.
  virtual Handle CreateFileW(const std::wstring& path, DWORD desiredAccess,
                             DWORD creationDisposition) = 0;
  // The same with the sharing given (kFileShareRead, kFileShareWrite): a
  // file held without write sharing cannot be opened for writing, nor
  // deleted, by anyone else until it is closed.
  virtual Handle CreateFileW(const std::wstring& path, DWORD desiredAccess,
                             DWORD creationDisposition, DWORD shareMode) = 0;
  // Writes all bytes; false on any failure.
  virtual bool WriteFile(Handle file, const void* data, std::size_t size) = 0;
  // ReadFile: up to `size` bytes from the file position; `read` is 0 at the
  // end of the file.
  virtual bool ReadFile(Handle file, void* data, std::size_t size, std::size_t& read) = 0;
  // FlushFileBuffers: what was written reaches the disk (the handle needs
  // write access).
  virtual bool FlushFileBuffers(Handle file) = 0;
  virtual bool CloseHandle(Handle file) = 0;

  // FindFirstFileW: the first entry that matches `pattern` (wildcards * and
  // ? in its last component). 0 when nothing matches.
  virtual Handle FindFirstFileW(const std::wstring& pattern, FindData& found) = 0;
  // The next match; false at the end of the search.
  virtual bool FindNextFileW(Handle search, FindData& found) = 0;
  virtual bool FindClose(Handle search) = 0;
  // FindFirstFileW and FindNextFileW to the end: every entry that matches,
  // "." and ".." too where the pattern takes them. Empty when nothing
  // matches or the folder cannot be searched.
  std::vector<FindData> FindAll(const std::wstring& pattern) {
    std::vector<FindData> all;
    FindData found;
    const Handle search = FindFirstFileW(pattern, found);
    if (search == 0) return all;
    do {
      all.push_back(found);
    } while (FindNextFileW(search, found));
    FindClose(search);
    return all;
  }
  // FindFirstFileW used as an existence test: true when any entry (file or
  // folder) matches; the search is closed again.
  bool FindFirstFileW(const std::wstring& pattern) {
    FindData found;
    const Handle search = FindFirstFileW(pattern, found);
    if (search == 0) return false;
    FindClose(search);
    return true;
  }

  // kInvalidFileAttributes when the entry cannot be read.
  virtual DWORD GetFileAttributesW(const std::wstring& path) = 0;
  // The narrow forms, for paths in the ANSI code page (the driver patch).
  virtual DWORD GetFileAttributesA(const std::string& path) = 0;
  virtual bool CopyFileA(const std::string& from, const std::string& to, bool failIfExists) = 0;
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

}  // namespace qz::port
