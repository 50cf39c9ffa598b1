// The return-code file "QZVRN_Returncode.txt" that both programs leave for
// their caller when a restart is still pending: one decimal integer, no
// line end, an existing file replaced.
#pragma once
#include <string>

#include "common/text_file.h"

namespace qz {

inline constexpr wchar_t kReturnCodeFileName[] = L"QZVRN_Returncode.txt";

// Opens `stream` on `path`, writes `value` and closes it again. A file that
// cannot be created or written is not reported: the result is still 1; 0
// only when an exception ended the write.
int WriteReturnCodeFile(EightBitTextFile& stream, const std::wstring& path, int value);

}  // namespace qz
