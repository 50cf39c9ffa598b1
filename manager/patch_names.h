// Patch file names as the configuration gives them: relative names that
// may hold folder parts, split and checked the same way by every step.
#pragma once
#include <string>

namespace qz {

// The text after the last backslash at position 1 or later; a name
// without one is its own last component.
std::wstring LastComponent(const std::wstring& name);

// The part before that backslash, empty when there is none.
std::wstring FolderPart(const std::wstring& name);

// A name that stays inside the folder it is joined to: not empty, no drive
// letter or colon, not rooted, no "." or ".." component, no wildcard.
bool StaysInsideFolder(const std::wstring& name);

}  // namespace qz
