// Logs of manager runs as the wrapper reads them, built line by line;
// shared by the wrapper's tests.
#pragma once
#include <string>
#include <vector>

namespace qz::deploy::logs {

inline const std::string kStarted = "QZVRN  Main  Started";
inline const std::string kEnded = "QZVRN  Main  Ended";
inline const std::string kUpdateEnded = "CVRNManager  DoUpdate  Ended";
inline const std::string kDestroyed = "CVRNManager  ~CVRNManager  Started";

inline std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// A QZSU run that ran its update to the end, with what came after it.
inline std::string Updated(const std::vector<std::string>& after = {}) {
  std::vector<std::string> lines{kStarted, "CVRNManager  DoUpdate  Started", kUpdateEnded};
  lines.insert(lines.end(), after.begin(), after.end());
  lines.insert(lines.end(), {kEnded, kDestroyed});
  return Lines(lines);
}

}  // namespace qz::deploy::logs
