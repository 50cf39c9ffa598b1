// The run from launch token to exit code, called by WinMain with the
// narrow command-line tail the start-up code hands a GUI program.
#pragma once
#include <string>

#include "platform/platform.h"

namespace qz {

inline constexpr wchar_t kWebSiteToken[] = L"QZWEB";

// Returns the process exit code: 0 for every normal end, -1 when an
// exception reached the entry (or the manager could not be set up).
int RunPatchManager(port::Platform& os, const std::string& commandLine);

}  // namespace qz
