// Names as the file system compares them: Unicode case, and the trailing
// dots and blanks that Windows drops from a path's last name ("s.dll." is
// "s.dll"). Wherever two entries may meet in one file (a backup copy, a
// destination), they are compared this way, never letter by letter.
#pragma once
#include <string>

#include "platform/files.h"

namespace qz {

// What two paths share exactly when the file system takes them as one
// (for a table of names, compared in linear time).
std::wstring FileNameKey(port::Files& files, const std::wstring& path);

// CompareStringOrdinal of the two, their last names trimmed as above.
bool SameFileName(port::Files& files, const std::wstring& a, const std::wstring& b);

// A name that stays one file directly inside the folder it is joined to:
// no separator, drive, wildcard or control character, not "." or "..".
bool IsPlainFileName(const std::wstring& name);

}  // namespace qz
