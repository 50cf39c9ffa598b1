// Where Windows looks for a library that is loaded by name. Both calls are
// looked up at run time: Windows 2000 has neither, XP before SP1 and an
// unpatched Windows 7 lack the first.
#pragma once
#include <optional>
#include <string>

#include "platform/types.h"

namespace qz::port {

inline constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;

class LibrarySearch {
 public:
  virtual ~LibrarySearch() = default;
  // SetDefaultDllDirectories; nullopt when the system lacks it.
  virtual std::optional<bool> SetDefaultDllDirectories(DWORD directoryFlags) = 0;
  // SetDllDirectoryW; nullopt when the system lacks it.
  virtual std::optional<bool> SetDllDirectoryW(const std::wstring& path) = 0;
};

}  // namespace qz::port
