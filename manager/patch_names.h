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

// A component of a path holds at most this many characters (NTFS, FAT32).
inline constexpr std::size_t kFileNameLimit = 255;

// The rule script of a condition or of the main rule: "TestCode_" + name +
// ".js". Whether it can be a file of that name: a safe name, short enough.
std::wstring RuleScriptName(const std::wstring& name);
bool CanBeRuleScript(const std::wstring& name);

// An INSTALLPATH_REGKEY's relative path: none, or one that stays inside the
// folder the registry names (no "..", drive or root).
inline bool IsSafeRelativePath(const std::wstring& path) {
  return path.empty() || StaysInsideFolder(path);
}

// What the process runner takes: a program path or command line of at most
// 254 characters (a buffer of 255 with its terminator).
inline constexpr std::size_t kProcessTextLimit = 254;

// A program entry's command line: the program's path (quoted when it holds
// a blank), a blank and the arguments, or none at all for the arguments
// "NULL" (any case). The walk
// refuses one longer than the runner takes, before anything is started:
// the same limit, not a second one a character apart.
std::wstring ProgramCommandLine(const std::wstring& program, const std::wstring& arguments);
inline constexpr std::size_t kCommandLineLimit = kProcessTextLimit;

// The OSVERSION texts the OS check knows, in the order it matches them.
std::vector<std::wstring> KnownOsNames();

}  // namespace qz
