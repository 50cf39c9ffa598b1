// What a deployment run leaves for the console that collects it: one line
// of JSON, and the name under which the manager's log is kept.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "deploy/run_verdict.h"
#include "platform/deployment.h"

namespace qz::deploy {

struct RunReport {
  Verdict verdict;
  double durationSeconds = 0;
  std::optional<std::int32_t> managerExitCode;  // none when it never ran
  std::optional<std::string> managerVersion;    // "1.0.0.182"; none when unreadable
  std::wstring computer;
  port::LocalTime started;
  std::optional<std::wstring> logCopy;
};

// "1.0.0.182": a file version as consoles and detection rules write it.
std::string VersionText(const std::array<std::uint16_t, 4>& parts);

// One line of UTF-8 JSON, without its line end.
std::string JsonLine(const RunReport& report);

// "QZZqzvrn_<computer>_<yyyymmdd>_<hhmmss>", with "_<n>" from the second
// try on. Characters a file name cannot hold become "_".
std::wstring ReportStem(const std::wstring& computer, const port::LocalTime& time, int attempt);

}  // namespace qz::deploy
