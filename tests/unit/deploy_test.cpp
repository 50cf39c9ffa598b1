// QZVRNDeploy's run against the fakes: the manager started on a private
// copy, the reports it leaves, and what never starts the manager.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/program_files.h"
#include "deploy/deployment.h"
#include "deploy/private_copy.h"
#include "platform/fake/fake_platform.h"
#include "tests/unit/deploy_logs.h"

namespace qz::deploy {
namespace {

using fake::W;
using logs::kStarted;
using logs::Lines;
using logs::Updated;

// The run itself: the wrapper in C:\patch, its private copy under the
// scripting control's folder in Program Files.
struct DeploymentRun {
  const std::wstring source = L"C:\\patch";
  const std::wstring parent = L"C:\\Program Files\\QZ\\temp\\VRNU";
  std::wstring copy;

  DeploymentRun() {
    m.modules.programPath = source + L"\\QZVRNDeploy.exe";
    m.files.AddFolder(L"C:\\Temp");
    m.files.AddFolder(L"C:\\Program Files");
    m.files.AddFile(source + L"\\QZVRN.exe", "MZ");
    m.files.AddFile(source + L"\\QZVRN.config", "<config/>");
    m.files.AddFile(source + L"\\x86\\QZZdemo.dll", "dll");
    m.registry.SetString(kWindowsVersionKey, L"ProgramFilesDir", L"C:\\Program Files\\");
    d.processes = &m.processes;
    PrivateCopy named(m.files, source, parent);
    EXPECT_TRUE(named.Name());
    copy = named.Folder();
    // As the manager does: its log in TMP, its inputs used up.
    OnStart([this] {
      WriteLog(Updated());
      m.files.DeleteFileW(copy + L"\\QZVRN.config");
    });
  }
  void OnStart(std::function<void()> run) {
    m.processes.programs[fake::Fold(copy + L"\\QZVRN.exe")].onStart = std::move(run);
  }
  void WriteLog(const std::string& text) {
    const std::wstring log = copy + L".temp\\QZZqzvrn.log";
    m.files.AddFile(log, text);
    d.writeTimes[fake::Fold(log)] = d.now + 1;
  }
  std::map<std::wstring, std::string> Tree(const std::wstring& root) {
    std::map<std::wstring, std::string> tree;
    for (const auto& [path, entry] : m.files.entries) {
      if (path.rfind(fake::Fold(root + L"\\"), 0) == 0) tree[path] = entry.contents;
    }
    return tree;
  }
  int Run(std::vector<std::wstring> arguments = {}) {
    const int code = RunDeployment(m.os, d, arguments);
    EXPECT_EQ(m.sync.OpenHandles(), 0u);
    EXPECT_EQ(m.processes.OpenHandles(), 0u);
    EXPECT_EQ(m.files.OpenHandles(), 0u);
    return code;
  }
  std::string Json(const std::wstring& path) { return m.files.Contents(path).value_or("?"); }

  fake::FakeMachine m;
  fake::FakeDeployment d;
};

TEST(DeploymentRun, RunsTheManagerOnAPrivateCopyAndLeavesItsFolderAsItWas) {
  DeploymentRun t;
  const auto before = t.Tree(t.source);
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE(run);
    EXPECT_EQ(t.Run({L"/log", L"C:\\logs"}), 0);
    EXPECT_EQ(t.m.processes.launches.back().commandLine, L"\"" + t.copy + L"\\QZVRN.exe\" QZSU");
    EXPECT_EQ(t.d.currentDirectory, t.copy);
    using Variables = std::vector<std::pair<std::wstring, std::wstring>>;
    EXPECT_EQ(t.d.variables,
              (Variables{{L"TMP", t.copy + L".temp"}, {L"TEMP", t.copy + L".temp"}}));
    // Each run gets the whole patch, and its folders go when it is done.
    EXPECT_EQ(t.Tree(t.source), before);
    EXPECT_FALSE(t.m.files.Exists(t.copy));
    EXPECT_FALSE(t.m.files.Exists(t.copy + L".temp"));
  }
  // Without a log folder, both reports go beside the program.
  t.d.versions[fake::Fold(t.copy + L"\\QZVRN.exe")] = {1, 0, 0, 182};
  EXPECT_EQ(t.Run(), 0);
  const std::string json = t.Json(L"C:\\patch\\QZVRNDeploy.json");
  EXPECT_EQ(json.rfind("{\"outcome\":\"applied\",\"exitCode\":0,\"restart\":\"none\","
                       "\"failedStep\":null,",
                       0),
            0u)
      << json;
  EXPECT_NE(json.find("\"managerExitCode\":0,\"managerVersion\":\"1.0.0.182\","
                      "\"computer\":\"WS0042\","
                      "\"started\":\"2026-12-09T10:15:00\","
                      "\"log\":\"C:\\\\patch\\\\QZVRNDeploy.log\"}\r\n"),
            std::string::npos)
      << json;
  EXPECT_EQ(t.m.files.Contents(L"C:\\patch\\QZVRNDeploy.log"), Updated());
  EXPECT_EQ(t.d.output.substr(t.d.output.size() - json.size()), json);
  // The reports are not the patch: the next run is the same patch.
  PrivateCopy again(t.m.files, t.source, t.parent);
  ASSERT_TRUE(again.Name());
  EXPECT_EQ(again.Folder(), t.copy);
}

TEST(DeploymentRun, InterruptedCopyIsRunAgainAsItStands) {
  DeploymentRun t;
  // Killed inside its walk: the record stays, and so does the copy.
  t.OnStart([&t] {
    t.m.files.DeleteFileW(t.copy + L"\\QZVRN.config");
    t.m.files.AddFolder(t.copy + L"\\qzvrn12345");
    t.WriteLog(Lines({kStarted, "CVRNManager  DoUpdate  Started"}));
  });
  t.m.processes.programs[fake::Fold(t.copy + L"\\QZVRN.exe")].exitCode = 1;
  EXPECT_EQ(t.Run(), 1603);
  EXPECT_NE(t.d.output.find("an unfinished record stays in"), std::string::npos) << t.d.output;
  ASSERT_TRUE(t.m.files.Exists(t.copy + L"\\qzvrn12345"));

  // The next start runs that copy without copying over it: its recovery
  // needs the record, and the inputs the first run used up stay used up.
  bool copiedOver = true;
  t.OnStart([&t, &copiedOver] {
    copiedOver = t.m.files.Exists(t.copy + L"\\QZVRN.config");
    t.m.files.RemoveDirectoryW(t.copy + L"\\qzvrn12345");
    t.WriteLog(Updated());
  });
  t.m.processes.programs[fake::Fold(t.copy + L"\\QZVRN.exe")].exitCode = 0;
  EXPECT_EQ(t.Run(), 0);
  EXPECT_FALSE(copiedOver);
  EXPECT_FALSE(t.m.files.Exists(t.copy));

  // A manager of that copy that still runs holds it.
  t.m.files.AddFolder(t.copy + L"\\qzvrn12346");
  t.m.files.AddFile(t.copy + L"\\QZVRN.exe", "MZ");
  t.d.runningImages.insert(fake::Fold(t.copy + L"\\QZVRN.exe"));
  EXPECT_EQ(t.Run(), 1618);
}

TEST(DeploymentRun, LogFolderGetsANewNameEachRunAndNeverLosesOne) {
  DeploymentRun t;
  // Relative to where the wrapper was started, not to the patch.
  t.m.files.currentDirectory = L"C:\\work";
  t.m.files.AddFolder(L"C:\\work");
  const std::wstring folder = L"logs\\fleet\\qz";
  const std::wstring first = L"C:\\work\\logs\\fleet\\qz\\QZZqzvrn_WS0042_20261209_101500";
  // As a command line "logs\fleet\qz\" reaches the program.
  EXPECT_EQ(t.Run({L"/LOG", folder + L"\""}), 0);
  EXPECT_EQ(t.m.files.Contents(first + L".log"), Updated());
  EXPECT_TRUE(t.m.files.Exists(first + L".json"));
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
    const char* detail;
  };
  const Refusal refusals[] = {
      {"another wrapper holds the folder",
       [](DeploymentRun& t) {
         // Its lock names the same folder, written in other case.
         DeploymentRun other;
         other.m.modules.programPath = L"c:\\PATCH\\QZVRNDeploy.exe";
         other.Run();
         t.m.sync.heldElsewhere.insert(other.m.sync.created.at(0));
       },
       {},
       1618,
       "another QZVRNDeploy.exe"},
      {"the manager runs already",
       [](DeploymentRun& t) { t.d.runningImages.insert(fake::Fold(t.source + L"\\QZVRN.exe")); },
       {},
       1618,
       "of this patch folder is running"},
      {"the manager is gone",
       [](DeploymentRun& t) { t.m.files.DeleteFileW(t.source + L"\\QZVRN.exe"); },
       {},
       1603,
       "not beside"},
      {"an unknown argument", [](DeploymentRun&) {}, {L"/silent"}, 1603, "usage"},
      {"a log switch without its folder", [](DeploymentRun&) {}, {L"/log"}, 1603, "usage"},
      {"Program Files unknown",
       [](DeploymentRun& t) { t.m.registry.keys.clear(); },
       {},
       1603,
       "private folder cannot be made: Program Files"},
      {"Program Files not writable",
       [](DeploymentRun& t) {
         t.m.files.unwritableFolders.insert(fake::Fold(L"C:\\Program Files"));
       },
       {},
       1603,
       "private folder cannot be made"},
      {"a link in the patch",
       [](DeploymentRun& t) {
         t.m.files.AddFolder(t.source + L"\\x64");
         t.m.files.Find(t.source + L"\\x64")->attributes |= port::kFileAttributeReparsePoint;
       },
       {},
       1603,
       "holds a link: x64"},
      {"a patch file that cannot be read",
       [](DeploymentRun& t) { t.m.files.Find(t.source + L"\\x86\\QZZdemo.dll")->readFailsAt = 0; },
       {},
       1603,
       "cannot be read: x86\\\\QZZdemo.dll"},
  };
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.name);
    DeploymentRun t;
    r.arrange(t);
    EXPECT_EQ(t.Run(r.arguments), r.exitCode);
    EXPECT_TRUE(t.m.processes.launches.empty());
    EXPECT_NE(t.d.output.find(r.detail), std::string::npos) << t.d.output;
    EXPECT_FALSE(t.m.files.Exists(t.copy));
  }
}

TEST(DeploymentRun, ACopyHeldForAMomentIsStillRemoved) {
  for (const bool letGo : {true, false}) {
    SCOPED_TRACE(letGo);
    DeploymentRun t;
    // A program the manager did not wait for still holds a file of the copy.
    const std::wstring held = t.copy + L"\\QZZdemo.dll";
    t.OnStart([&t, held] {
      t.WriteLog(Updated());
      t.m.files.AddFile(held, "dll");
      t.m.files.Find(held)->locked = true;
    });
    t.m.system.onSleep = [&t, held, letGo] {
      if (letGo && t.m.files.Exists(held)) t.m.files.Find(held)->locked = false;
    };
    EXPECT_EQ(t.Run(), 0);
    EXPECT_EQ(t.m.files.Exists(t.copy), !letGo);
    EXPECT_EQ(t.d.output.find("could not be removed") != std::string::npos, !letGo);
  }
}

TEST(DeploymentRun, OnlyTheRunsOwnLogCounts) {
  DeploymentRun t;
  // The manager could not write its log; a successful one planted in the
  // system's temporary folder is not looked at.
  t.OnStart([] {});
  t.m.files.AddFile(L"C:\\Temp\\QZZqzvrn.log", Updated());
  EXPECT_EQ(t.Run(), 1603);
  EXPECT_NE(t.d.output.find("could not be read"), std::string::npos) << t.d.output;
}

}  // namespace
}  // namespace qz::deploy
