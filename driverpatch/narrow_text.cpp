// Narrow texts in the ANSI code page: a byte after a lead byte belongs to
// a two-byte character, so it is neither a separator nor folded.
#include "driverpatch/driver_patch.h"

namespace qz::driverpatch {

std::size_t LastBackslash(DriverPatch& run, const std::string& path) {
  std::size_t last = std::string::npos;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const auto byte = static_cast<unsigned char>(path[i]);
    if (byte == '\\') {
      last = i;
    } else if (run.os.system.IsDBCSLeadByte(byte) && i + 1 < path.size()) {
      ++i;
    }
  }
  return last;
}

namespace {
char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

bool EqualsIgnoringCaseMbcs(DriverPatch& run, const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (run.os.system.IsDBCSLeadByte(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      ++i;
    } else if (FoldAscii(a[i]) != FoldAscii(b[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace qz::driverpatch
