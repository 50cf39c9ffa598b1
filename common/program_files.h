// The Program Files folder as the registry names it, and the folder under
// it that the scripting control and the deployment wrapper's private
// copies share: only administrators and the system account write there.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace qz {

inline constexpr wchar_t kWindowsVersionKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// ProgramFilesDir of the open key, whatever its length; nothing when it
// cannot be read, is not a string or is empty.
std::optional<std::wstring> ReadProgramFilesDir(port::Registry& registry,
                                                port::KeyHandle versionKey);

// "<Program Files>\QZ", "...\QZ\temp", "...\QZ\temp\VRNU": each level from
// the top, joined with one backslash also when the value ends in one.
std::vector<std::wstring> ControlFolderLevels(std::wstring programFiles);

}  // namespace qz
