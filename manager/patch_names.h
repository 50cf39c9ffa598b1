// Patch file names as the configuration gives them: relative names that
// may hold folder parts, split and checked the same way by every step.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace qz {

// The text after the last backslash at position 1 or later; a name
// without one is its own last component.
std::wstring LastComponent(const std::wstring& name);

// The part before that backslash, empty when there is none.
std::wstring FolderPart(const std::wstring& name);

// A name that stays inside the folder it is joined to: not empty, no drive
// letter or colon, not rooted, no "." or ".." component, no wildcard.
bool StaysInsideFolder(const std::wstring& name);

// A condition ID becomes part of a script's file name: anything that could
// leave the current directory or that Windows refuses in a name is not
// taken.
bool IsSafeScriptName(const std::wstring& id);

// A program entry's command line: the program's path, a blank and the
// arguments, or none at all for the arguments "NULL" (any case). It is
// built in 256 characters: a longer one is refused.
std::wstring ProgramCommandLine(const std::wstring& program, const std::wstring& arguments);
inline constexpr std::size_t kCommandLineLimit = 255;
// What the process runner takes: a program path or command line of at most
// 254 characters (a buffer of 255 with its terminator).
inline constexpr std::size_t kProcessTextLimit = 254;

// The OSVERSION texts the OS check knows, in the order it matches them.
std::vector<std::wstring> KnownOsNames();

}  // namespace qz
