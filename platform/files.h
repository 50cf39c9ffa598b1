// Files and folders.
#pragma once
#include <cstddef>
#include <string>

#include "platform/types.h"

namespace qz::port {

class Files {
 public:
  virtual ~Files() = default;
  // CreateFileW for writing: GENERIC_WRITE, shared for reading and writing,
  // CREATE_ALWAYS (an existing file is emptied). 0 when it cannot be opened.
  virtual Handle CreateFileW(const std::wstring& path) = 0;
  // Writes all bytes; false on any failure.
  virtual bool WriteFile(Handle file, const void* data, std::size_t size) = 0;
  virtual bool CloseHandle(Handle file) = 0;
  // FindFirstFileW used as an existence test: true when any entry (file or
  // folder) matches; the find handle is closed again.
  virtual bool FindFirstFileW(const std::wstring& pattern) = 0;
  virtual bool CreateDirectoryW(const std::wstring& path) = 0;
  virtual bool CopyFileW(const std::wstring& from, const std::wstring& to,
                         bool failIfExists) = 0;
  virtual bool DeleteFileW(const std::wstring& path) = 0;
};

}  // namespace qz::port
