// QZVRNDeploy's verdict: the exit code, outcome and restart a console gets
// from what a manager run left, and the JSON line that reports it.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "deploy/report.h"
#include "deploy/run_verdict.h"
#include "tests/unit/deploy_logs.h"

namespace qz::deploy {
namespace {

using logs::kEnded;
using logs::kStarted;
using logs::kUpdateEnded;
using logs::Lines;
using logs::Updated;

std::string EndedBy(const std::string& mainEntry, bool ended = true) {
  std::vector<std::string> lines{kStarted, "CVRNManager  CheckOS  Started", mainEntry};
  if (ended) lines.push_back(kEnded);
  return Lines(lines);
}

struct Case {
  const char* name;
  std::optional<std::string> log;
  bool fresh;
  std::optional<std::string> returnCode;
  std::uint32_t managerExit;
  int exitCode;
  Outcome outcome;
  Restart restart;
  const char* failedStep;
};

TEST(RunVerdict, EveryOutcomeAConsoleSees) {
  const std::string later = "CVRNManager::SystemShutdown  Info  Restart Later";
  const std::string force = "CVRNManager::SystemShutdown  Info  Force Reboot";
  const std::string now = "CVRNManager::SystemShutdown  Info  Restart Now";
  const std::string shutDown = "CVRNManager  ShutDown  Ended";
  const Case cases[] = {
      {"applied", Updated(), true, {}, 0, 0, Outcome::kApplied, Restart::kNone, ""},
      {"applied, web-site success entry",
       Lines({kStarted, "QZVRN:Main  DoUpdate:Update completed successfully.  Success", kEnded}),
       true,
       {},
       0,
       0,
       Outcome::kApplied,
       Restart::kNone,
       ""},
      {"restart later", Updated({later}), true, "2", 0, 3010, Outcome::kApplied, Restart::kPending,
       ""},
      {"return code 2 from a patch program", Updated(), true, "2", 0, 3010, Outcome::kApplied,
       Restart::kPending, ""},
      {"forced restart started",
       Updated({force, shutDown}),
       true,
       {},
       0,
       1641,
       Outcome::kApplied,
       Restart::kStarted,
       ""},
      {"restart now started",
       Updated({now, shutDown}),
       true,
       {},
       0,
       1641,
       Outcome::kApplied,
       Restart::kStarted,
       ""},
      {"restart refused: still pending",
       Updated({force}),
       true,
       {},
       0,
       3010,
       Outcome::kApplied,
       Restart::kPending,
       ""},
      {"OS not in the list",
       EndedBy("QZVRN:Main  CheckOS:  Failed"),
       true,
       {},
       0,
       0,
       Outcome::kNotNeeded,
       Restart::kNone,
       ""},
      {"OS not supported",
       EndedBy("QZVRN:Main  OS Not Supported:  Failed"),
       true,
       {},
       0,
       0,
       Outcome::kNotNeeded,
       Restart::kNone,
       ""},
      {"product not installed",
       EndedBy("QZVRN:Main  LocateAndVerifyInstallPath:  Failed"),
       true,
       {},
       0,
       0,
       Outcome::kNotNeeded,
       Restart::kNone,
       ""},
      {"patch file missing",
       EndedBy("QZVRN:Main  VerifySourceFilesPath:  Failed"),
       true,
       {},
       0,
       1603,
       Outcome::kFailed,
       Restart::kNone,
       "VerifySourceFilesPath"},
      {"update failed after a program queued a restart", EndedBy("QZVRN:Main  DoUpdate:  Failed"),
       true, "2", 0, 1603, Outcome::kFailed, Restart::kPending, "DoUpdate"},
      {"exception",
       EndedBy("QZVRN:Main  Exception:  failed", false),
       true,
       {},
       0xFFFFFFFFu,
       1603,
       Outcome::kFailed,
       Restart::kNone,
       "Exception"},
      {"killed",
       Lines({kStarted, "CVRNManager  DoUpdate  Started"}),
       true,
       {},
       1,
       1603,
       Outcome::kFailed,
       Restart::kNone,
       ""},
      {"cut off",
       Lines({kStarted, "CVRNManager  DoUpdate  Started", kUpdateEnded}),
       true,
       {},
       0,
       1603,
       Outcome::kFailed,
       Restart::kNone,
       ""},
      {"last line without its end",
       Lines({kStarted, kUpdateEnded}) + kEnded,
       true,
       {},
       0,
       1603,
       Outcome::kFailed,
       Restart::kNone,
       ""},
      {"another run's log", Updated(), false, {}, 0, 1603, Outcome::kFailed, Restart::kNone, ""},
      {"two runs in one log",
       Updated() + Updated(),
       true,
       {},
       0,
       1603,
       Outcome::kFailed,
       Restart::kNone,
       ""},
      {"not a log", Lines({"hello"}), true, {}, 0, 1603, Outcome::kFailed, Restart::kNone, ""},
      {"empty log", std::string(), true, {}, 0, 1603, Outcome::kFailed, Restart::kNone, ""},
      {"no log", std::nullopt, false, {}, 0, 1603, Outcome::kFailed, Restart::kNone, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RunTraces traces{c.log, c.fresh, c.returnCode, c.managerExit};
    const Verdict v = JudgeRun(traces);
    EXPECT_EQ(ExitCodeOf(v), c.exitCode);
    EXPECT_EQ(v.outcome, c.outcome);
    EXPECT_EQ(v.restart, c.restart);
    EXPECT_EQ(v.failedStep, c.failedStep);
    EXPECT_FALSE(v.detail.empty());
  }
}

TEST(DeploymentReport, JsonLineIsUtf8WhateverTheLogHeld) {
  RunReport report;
  report.verdict.detail = "Zeile \xFF\xFE \xC3\xA4 \xE2\x82";
  report.computer = L"PC-\u00e9";
  const std::string json = JsonLine(report);
  EXPECT_NE(
      json.find("\"detail\":\"Zeile \xEF\xBF\xBD\xEF\xBF\xBD \xC3\xA4 \xEF\xBF\xBD\xEF\xBF\xBD\""),
      std::string::npos)
      << json;
  EXPECT_NE(json.find("\"computer\":\"PC-\xC3\xA9\""), std::string::npos);
}

}  // namespace
}  // namespace qz::deploy
