// Version resources of files.
#pragma once

#include <windows.h>

#include <string>

namespace qzk {

// The fixed part of the file's version resource; false when it has none.
bool fixedFileInfo(const std::wstring& path, VS_FIXEDFILEINFO* out);
// The file version as "a.b.c.d", "" when the file has no version resource.
std::wstring fileVersionOf(const std::wstring& path);

}  // namespace qzk
