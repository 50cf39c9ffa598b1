// Wide text to UTF-8 and back, for the programs' console output and for file
// names on systems whose paths are bytes.
#pragma once
#include <string>

namespace qz {

std::string ToUtf8(const std::wstring& text);
// Invalid sequences become U+FFFD.
std::wstring FromUtf8(const std::string& text);

}  // namespace qz
