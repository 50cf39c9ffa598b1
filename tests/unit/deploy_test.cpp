// QZVRNDeploy: the verdict a console gets from what a manager run left,
// and the run around it against the fakes.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "deploy/deployment.h"
#include "deploy/run_verdict.h"
#include "platform/fake/fake_platform.h"

namespace qz::deploy {
namespace {

using fake::W;

const std::string kStarted = "QZVRN  Main  Started";
const std::string kEnded = "QZVRN  Main  Ended";
const std::string kUpdateEnded = "CVRNManager  DoUpdate  Ended";
const std::string kDestroyed = "CVRNManager  ~CVRNManager  Started";

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// A QZSU run that ran its update to the end, with what came after it.
std::string Updated(const std::vector<std::string>& after = {}) {
  std::vector<std::string> lines{kStarted, "CVRNManager  DoUpdate  Started", kUpdateEnded};
  lines.insert(lines.end(), after.begin(), after.end());
  lines.insert(lines.end(), {kEnded, kDestroyed});
  return Lines(lines);
}

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
       true, {}, 0, 0, Outcome::kApplied, Restart::kNone, ""},
      {"restart later", Updated({later}), true, "2", 0, 3010, Outcome::kApplied,
       Restart::kPending, ""},
      {"return code 2 from a patch program", Updated(), true, "2", 0, 3010, Outcome::kApplied,
       Restart::kPending, ""},
      {"forced restart started", Updated({force, shutDown}), true, {}, 0, 1641,
       Outcome::kApplied, Restart::kStarted, ""},
      {"restart now started", Updated({now, shutDown}), true, {}, 0, 1641, Outcome::kApplied,
       Restart::kStarted, ""},
      {"restart refused: still pending", Updated({force}), true, {}, 0, 3010,
       Outcome::kApplied, Restart::kPending, ""},
      {"OS not in the list", EndedBy("QZVRN:Main  CheckOS:  Failed"), true, {}, 0, 0,
       Outcome::kNotNeeded, Restart::kNone, ""},
      {"OS not supported", EndedBy("QZVRN:Main  OS Not Supported:  Failed"), true, {}, 0, 0,
       Outcome::kNotNeeded, Restart::kNone, ""},
      {"product not installed", EndedBy("QZVRN:Main  LocateAndVerifyInstallPath:  Failed"),
       true, {}, 0, 0, Outcome::kNotNeeded, Restart::kNone, ""},
      {"patch file missing", EndedBy("QZVRN:Main  VerifySourceFilesPath:  Failed"), true, {},
       0, 1603, Outcome::kFailed, Restart::kNone, "VerifySourceFilesPath"},
      {"update failed after a program queued a restart",
       EndedBy("QZVRN:Main  DoUpdate:  Failed"), true, "2", 0, 1603, Outcome::kFailed,
       Restart::kPending, "DoUpdate"},
      {"exception", EndedBy("QZVRN:Main  Exception:  failed", false), true, {}, 0xFFFFFFFFu,
       1603, Outcome::kFailed, Restart::kNone, "Exception"},
      {"killed", Lines({kStarted, "CVRNManager  DoUpdate  Started"}), true, {}, 1, 1603,
       Outcome::kFailed, Restart::kNone, ""},
      {"cut off", Lines({kStarted, "CVRNManager  DoUpdate  Started", kUpdateEnded}), true, {},
       0, 1603, Outcome::kFailed, Restart::kNone, ""},
      {"last line without its end", Lines({kStarted, kUpdateEnded}) + kEnded, true, {}, 0, 1603,
       Outcome::kFailed, Restart::kNone, ""},
      {"another run's log", Updated(), false, {}, 0, 1603, Outcome::kFailed, Restart::kNone,
       ""},
      {"two runs in one log", Updated() + Updated(), true, {}, 0, 1603, Outcome::kFailed,
       Restart::kNone, ""},
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

// The run itself: the manager of C:\patch, its log in C:\Temp.
struct DeploymentRun {
  const std::wstring manager = L"C:\\patch\\QZVRN.exe";
  const std::wstring log = L"C:\\Temp\\QZZqzvrn.log";

  DeploymentRun() {
    m.modules.programPath = L"C:\\patch\\QZVRNDeploy.exe";
    m.files.AddFolder(L"C:\\Temp");
    m.files.AddFile(manager, "MZ");
    m.processes.programs[fake::Fold(manager)].onStart = [this] { WriteLog(Updated()); };
  }
  void WriteLog(const std::string& text, std::uint64_t when = 0) {
    m.files.AddFile(log, text);
    d.writeTimes[fake::Fold(log)] = when ? when : d.now + 1;
  }
  int Run(std::vector<std::wstring> arguments = {}) {
    const int code = RunDeployment(m.os, d, arguments);
    EXPECT_EQ(d.OpenHandles(), 0u);
    EXPECT_EQ(m.processes.OpenHandles(), 0u);
    EXPECT_EQ(m.files.OpenHandles(), 0u);
    return code;
  }
  std::string Json(const std::wstring& path) { return m.files.Contents(path).value_or("?"); }

  fake::FakeMachine m;
  fake::FakeDeployment d;
};

TEST(DeploymentRun, StartsTheManagerInItsFolderAndKeepsTheReportBesideIt) {
  DeploymentRun t;
  EXPECT_EQ(t.Run(), 0);
  ASSERT_EQ(t.m.processes.launches.size(), 1u);
  EXPECT_EQ(t.m.processes.launches[0].commandLine, L"\"C:\\patch\\QZVRN.exe\" QZSU");
  EXPECT_EQ(t.d.currentDirectory, L"C:\\patch");
  const std::string json = t.Json(L"C:\\patch\\QZVRNDeploy.json");
  EXPECT_EQ(json.rfind("{\"outcome\":\"applied\",\"exitCode\":0,\"restart\":\"none\","
                       "\"failedStep\":null,",
                       0),
            0u)
      << json;
  EXPECT_NE(json.find("\"managerExitCode\":0,\"computer\":\"WS0042\","
                      "\"started\":\"2026-12-09T10:15:00\",\"log\":null}\r\n"),
            std::string::npos)
      << json;
  EXPECT_EQ(t.d.output, json);
}

TEST(DeploymentRun, LogFolderGetsANewNameEachRunAndNeverLosesOne) {
  DeploymentRun t;
  const std::wstring folder = L"C:\\logs\\fleet\\qz";
  t.m.files.AddFolder(L"C:\\logs");
  const std::wstring first = folder + L"\\QZZqzvrn_WS0042_20261209_101500";
  // As a command line "C:\logs\fleet\qz\" reaches the program.
  EXPECT_EQ(t.Run({L"/LOG", folder + L"\""}), 0);
  EXPECT_EQ(t.m.files.Contents(first + L".log"), Updated());
  EXPECT_NE(t.Json(first + L".json").find("\"log\":\"C:\\\\logs\\\\fleet\\\\qz\\\\QZZqzvrn_"
                                        "WS0042_20261209_101500.log\"}"),
            std::string::npos);
  // Same second: the earlier pair stays, the next run takes "_2".
  EXPECT_EQ(t.Run({L"-log", folder}), 0);
  EXPECT_EQ(t.m.files.Contents(first + L".log"), Updated());
  EXPECT_TRUE(t.m.files.Exists(first + L"_2.log"));
  EXPECT_TRUE(t.m.files.Exists(first + L"_2.json"));
}

TEST(DeploymentRun, UnwritableLogFolderFallsBackBesideItself) {
  DeploymentRun t;
  t.m.files.unwritableFolders.insert(fake::Fold(L"C:\\"));
  EXPECT_EQ(t.Run({L"/log", L"C:\\nowhere"}), 0);
  EXPECT_NE(t.Json(L"C:\\patch\\QZVRNDeploy.json").find("(the log folder could not be written)"),
            std::string::npos);
}

TEST(DeploymentRun, WhatNeverStartsTheManager) {
  struct Refusal {
    const char* name;
    std::function<void(DeploymentRun&)> arrange;
    std::vector<std::wstring> arguments;
    int exitCode;
    const char* outcome;
  };
  const Refusal refusals[] = {
      {"another wrapper holds the folder",
       [](DeploymentRun& t) {
         // Its lock names the same folder, written in other case.
         DeploymentRun other;
         other.m.modules.programPath = L"c:\\PATCH\\QZVRNDeploy.exe";
         other.Run();
         t.d.heldMutexes.insert(other.d.mutexes.at(0));
       },
       {}, 1618, "busy"},
      {"the manager runs already",
       [](DeploymentRun& t) { t.d.runningImages.insert(fake::Fold(t.manager)); }, {}, 1618,
       "busy"},
      {"the manager is gone", [](DeploymentRun& t) { t.m.files.DeleteFileW(t.manager); }, {},
       1603, "failed"},
      {"an unknown argument", [](DeploymentRun&) {}, {L"/silent"}, 1603, "failed"},
      {"a log switch without its folder", [](DeploymentRun&) {}, {L"/log"}, 1603, "failed"},
  };
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.name);
    DeploymentRun t;
    r.arrange(t);
    EXPECT_EQ(t.Run(r.arguments), r.exitCode);
    EXPECT_TRUE(t.m.processes.launches.empty());
    EXPECT_NE(t.d.output.find(std::string("\"outcome\":\"") + r.outcome + "\""),
              std::string::npos)
        << t.d.output;
  }
}

TEST(DeploymentRun, LogOlderThanTheRunIsNotItsLog) {
  DeploymentRun t;
  // The manager could not write its log: what lies there is an old run's.
  t.m.processes.programs[fake::Fold(t.manager)].onStart = [] {};
  t.WriteLog(Updated(), t.d.now - 3 * 10000000ull);
  EXPECT_EQ(t.Run(), 1603);
  EXPECT_NE(t.d.output.find("not this run's"), std::string::npos) << t.d.output;
}

}  // namespace
}  // namespace qz::deploy
