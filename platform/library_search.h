// Where Windows looks for a library that is loaded by name. Both calls are
// looked up at run time: Windows 2000 has neither, XP before SP1 and an
// unpatched Windows 7 lack the first.
#pragma once
#include <string>

#include "platform/types.h"

namespace qz::port {

inline constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;

class LibrarySearch {
 public:
  virtual ~LibrarySearch() = default;
  // SetDefaultDllDirectories; fails with ERROR_PROC_NOT_FOUND when the
  // system lacks it.
  virtual Status SetDefaultDllDirectories(DWORD directoryFlags) = 0;
  // SetDllDirectoryW; fails with ERROR_PROC_NOT_FOUND when the system
  // lacks it.
  virtual Status SetDllDirectoryW(const std::wstring& path) = 0;
};

}  // namespace qz::port
