// Narrow (ANSI code page) file calls: the program's own path, the system
// directory, copies and the Setup API's single-file installer.
#pragma once
#include <cstddef>
#include <optional>
#include <string>

#include "platform/types.h"

namespace qz::port {

inline constexpr DWORD kDriverCopyStyle = 0x10780;

class AnsiFiles {
 public:
  virtual ~AnsiFiles() = default;
  // GetModuleFileNameA of the running program, whatever its length (the
  // adapter grows its buffer); empty on failure.
  virtual std::string GetModuleFileNameA() = 0;
  // IsDBCSLeadByte in the ANSI code page: whether `byte` starts a
  // two-byte character, so that a backslash after it is no separator.
  virtual bool IsDBCSLeadByte(unsigned char byte) = 0;
  // GetSystemDirectoryA into `bufferChars`; nullopt when it fails or does
  // not fit.
  virtual std::optional<std::string> GetSystemDirectoryA(std::size_t bufferChars) = 0;
  // GetFileAttributesA; kInvalidFileAttributes when there is no such file
  // or folder.
  virtual DWORD GetFileAttributesA(const std::string& path) = 0;
  virtual bool CopyFileA(const std::string& from, const std::string& to, bool failIfExists) = 0;
  // SetupInstallFileExA without INF and without callback: copies
  // `sourceFile` from `sourcePathRoot` to `destination`; `inUse` is the
  // call's FileWasInUse.
  virtual bool SetupInstallFileExA(const std::string& sourceFile, const std::string& sourcePathRoot,
                                   const std::string& destination, DWORD copyStyle,
                                   bool& inUse) = 0;
};

}  // namespace qz::port
