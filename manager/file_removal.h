// What Cleanup and the undo of an interrupted run share when they take
// files away or put them back: the status text of a step, and the
// read-only flag that would make a delete or an overwrite fail.
#pragma once
#include <optional>
#include <string>

#include "platform/files.h"

namespace qz {

inline const wchar_t* Outcome(bool ok) { return ok ? L"Succeeded" : L"Failed"; }

// Nothing when the file is not read-only; else whether the flag came off.
inline std::optional<bool> ClearReadOnly(port::Files& files, const std::wstring& path) {
  const port::Result<port::DWORD> attributes = files.GetFileAttributesW(path);
  if (!attributes || !(attributes.value & port::kFileAttributeReadOnly)) return std::nullopt;
  return static_cast<bool>(
      files.SetFileAttributesW(path, attributes.value & ~port::kFileAttributeReadOnly));
}

}  // namespace qz
