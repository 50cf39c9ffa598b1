// Bytes of UTF-16 little-endian text, for readers that must take either
// encoding; shared by the checker's tests.
#pragma once
#include <string>

namespace qz::rig {

inline std::string Utf16(const std::string& ascii, bool mark = true) {
  std::string out = mark ? "\xFF\xFE" : "";
  for (char c : ascii) out += std::string{c, '\0'};
  return out;
}

}  // namespace qz::rig
