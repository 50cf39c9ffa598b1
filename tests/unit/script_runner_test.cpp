// The rule runner and the program runner against a fake machine: every log
// entry and result, how the script host is waited for, and that no child
// handle outlives a call.
#include <gtest/gtest.h>

#include <stdexcept>

#include "manager/manager.h"
#include "manager/patch_names.h"
#include "platform/fake/fake_platform.h"

namespace qz {
namespace {

using fake::FakeMachine;
using fake::FakeProcesses;
using Lines = std::vector<std::string>;

constexpr wchar_t kHost[] = L"C:\\WINDOWS\\system32\\cscript.exe";
const std::string kStarted = "CVRNManager  CallJScript  Started";
const std::string kControl = "CVRNManager  CheckControl  Started";
const std::string kEnded = "CVRNManager  CallJScript  Ended";

class ScriptRunnerTest : public ::testing::Test {
 protected:
  ScriptRunnerTest() { m.com.Register(L"QZKelvaDiags.QZRegUtil"); }

  FakeProcesses::Program& Host() { return m.processes.programs[fake::Fold(kHost)]; }
  // The log so far, without the manager's closing entry.
  Lines Log() const { return m.LogLines(); }

  FakeMachine m;
  CVRNManager manager{m.os};
};

TEST_F(ScriptRunnerTest, ExitCodeBecomesTheRuleResult) {
  struct Case {
    port::DWORD exitCode;
    int result;
  };
  for (const Case c : {Case{0xFFFFFFFFu, -1}, Case{0, 0}, Case{1, 1}, Case{3, 1},
                       Case{0xFFFFFFFEu, 1}, Case{0x80000000u, 1}}) {
    FakeMachine fresh;
    fresh.com.Register(L"QZKelvaDiags.QZRegUtil");
    fresh.processes.programs[fake::Fold(kHost)].exitCode = c.exitCode;
    CVRNManager runner(fresh.os);
    EXPECT_EQ(runner.CallJScript(L"TestCode_Main.js"), c.result) << c.exitCode;
    EXPECT_EQ(fresh.LogLines(), (Lines{kStarted, kControl, kEnded})) << c.exitCode;
    ASSERT_EQ(fresh.processes.launches.size(), 1u);
    const auto& launch = fresh.processes.launches[0];
    EXPECT_EQ(launch.applicationName, kHost);
    EXPECT_EQ(launch.commandLine, L"C:\\WINDOWS\\system32\\cscript.exe \"TestCode_Main.js\"");
    EXPECT_EQ(launch.creationFlags, 0x08000000u);
    EXPECT_EQ(fresh.processes.OpenHandles(), 0u);
  }
}

TEST_F(ScriptRunnerTest, HostThatCannotStartIsPrintedAndLoggedWithoutEnded) {
  Host().startError = 2;
  testing::internal::CaptureStdout();
  EXPECT_EQ(manager.CallJScript(L"TestCode_X.js"), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "CreateProcess failed (2).\n");
  EXPECT_EQ(Log(),
            (Lines{kStarted, kControl,
                   "CVRNManager:CallJScript  cannot run Java script  CreateProcess failed"}));
  EXPECT_EQ(m.processes.OpenHandles(), 0u);
}

TEST_F(ScriptRunnerTest, HostIsWaitedForOnItsHandleNotSleptFor) {
  // Ends within the first wait: one wait, no sleep.
  Host().stillActiveQueries = 1;
  Host().exitCode = 0;
  EXPECT_EQ(manager.CallJScript(L"TestCode_Main.js"), 0);
  EXPECT_EQ(m.processes.waits, (std::vector<port::DWORD>{500}));
  EXPECT_TRUE(m.system.sleeps.empty());

  // Runs through three waits: each at most 500 ms, still no sleep.
  m.processes.waits.clear();
  Host().stillActiveQueries = 100;
  Host().waitsBeforeExit = 3;
  Host().exitCode = 0xFFFFFFFFu;
  EXPECT_EQ(manager.CallJScript(L"TestCode_Main.js"), -1);
  EXPECT_EQ(m.processes.waits, (std::vector<port::DWORD>{500, 500, 500, 500}));
  EXPECT_TRUE(m.system.sleeps.empty());
  EXPECT_EQ(m.processes.OpenHandles(), 0u);
}

TEST_F(ScriptRunnerTest, HostThatReallyExitsWith259GivesNoAnswer) {
  Host().exitCode = 259;
  EXPECT_EQ(manager.CallJScript(L"TestCode_Main.js"), 1);
  EXPECT_EQ(m.processes.waits.size(), 1u);  // the signalled handle decides
  EXPECT_EQ(m.processes.exitCodeQueries, 2);
  EXPECT_EQ(Log(), (Lines{kStarted, kControl, kEnded}));
  EXPECT_EQ(m.processes.OpenHandles(), 0u);
}

TEST_F(ScriptRunnerTest, FailingExitCodeQueriesAreRetriedAFewTimesOnly) {
  Host().failedQueries = 3;
  Host().exitCode = 0xFFFFFFFFu;
  EXPECT_EQ(manager.CallJScript(L"TestCode_Main.js"), -1);
  EXPECT_EQ(m.system.sleeps, (std::vector<port::DWORD>{20, 20, 20}));

  FakeMachine broken;
  broken.com.Register(L"QZKelvaDiags.QZRegUtil");
  broken.processes.programs[fake::Fold(kHost)].failedQueries = 1000000;
  CVRNManager runner(broken.os);
  EXPECT_EQ(runner.CallJScript(L"TestCode_Main.js"), 1);
  EXPECT_EQ(broken.processes.exitCodeQueries, 6);
  EXPECT_EQ(broken.LogLines(),
            (Lines{kStarted, kControl,
                   "CVRNManager:CallJScript  Exit code not readable  GetExitCodeProcess failed",
                   kEnded}));
  EXPECT_EQ(broken.processes.OpenHandles(), 0u);
}

TEST_F(ScriptRunnerTest, OverlongHostPathOrCommandLineIsRefused) {
  Host();
  // C:\WINDOWS\system32\cscript.exe "name": 34 characters besides the name.
  EXPECT_EQ(manager.CallJScript(std::wstring(220, L'a')), 0);
  EXPECT_EQ(m.processes.launches.size(), 1u);

  EXPECT_EQ(manager.CallJScript(std::wstring(221, L'a')), 1);
  EXPECT_EQ(m.processes.launches.size(), 1u);
  EXPECT_EQ(Log().back(), "CVRNManager:CallJScript  Command line too long  255");

  m.system.systemDirectory = L"C:\\" + std::wstring(240, L's');  // host: 255
  EXPECT_EQ(manager.CallJScript(L"TestCode_Main.js"), 1);
  EXPECT_EQ(m.processes.launches.size(), 1u);
  EXPECT_EQ(Log().back(), "CVRNManager:CallJScript  Script host path too long  255");
}

// A process fake whose wait throws, to reach the handlers after a start.
struct ThrowingWait : FakeProcesses {
  port::DWORD WaitForSingleObject(port::ProcessHandle, port::DWORD) override {
    throw std::runtime_error("wait");
  }
};

TEST(ScriptRunnerExceptions, AreLoggedAndNoHandleIsLeft) {
  FakeMachine m;
  m.com.Register(L"QZKelvaDiags.QZRegUtil");
  ThrowingWait processes;
  processes.unknownProgramError.reset();  // every program starts
  processes.programs[fake::Fold(kHost)].stillActiveQueries = 1;
  port::Platform os{m.system, m.files,     m.registry,  processes, m.modules,  m.com, m.noXml,
                    m.ui,     m.resources, m.installer, m.shell,   m.shutdown, m.sync};
  {
    CVRNManager manager(os);
    EXPECT_EQ(manager.CallJScript(L"TestCode_Main.js"), 1);
    EXPECT_EQ(processes.OpenHandles(), 0u);
    EXPECT_EQ(m.LogLines(), (Lines{kStarted, kControl,
                                   "CVRNManager:CallJScript  Exception occured  failed", kEnded}));

    EXPECT_FALSE(manager.RunProcess(L"C:\\p.exe", L"C:\\p.exe", 0));
    EXPECT_EQ(processes.OpenHandles(), 0u);
    const auto lines = m.LogLines();
    EXPECT_EQ(
        Lines(lines.end() - 3, lines.end()),
        (Lines{"CVRNManager  RunProcess  Started",
               "CVRNManager:RunProcess  Runprocess File= C:\\p.exe, Cmdline = C:\\p.exe  Info",
               "CVRNManager:RunProcess  Exception occured  Error"}));
  }
}

// A handle that cannot be waited on: the runner falls back to polling.
struct UnwaitableHandles : FakeProcesses {
  port::DWORD WaitForSingleObject(port::ProcessHandle, port::DWORD) override {
    return port::kWaitFailed;
  }
};

TEST(ScriptRunnerWaitFailure, FallsBackToPollingEvery500Ms) {
  FakeMachine m;
  m.com.Register(L"QZKelvaDiags.QZRegUtil");
  UnwaitableHandles processes;
  processes.programs[fake::Fold(kHost)].stillActiveQueries = 2;
  port::Platform os{m.system, m.files,     m.registry,  processes, m.modules,  m.com, m.noXml,
                    m.ui,     m.resources, m.installer, m.shell,   m.shutdown, m.sync};
  CVRNManager manager(os);
  EXPECT_EQ(manager.CallJScript(L"TestCode_Main.js"), 0);
  EXPECT_EQ(m.system.sleeps, (std::vector<port::DWORD>{500, 500}));
  EXPECT_EQ(processes.OpenHandles(), 0u);
}

class RunProcessTest : public ::testing::Test {
 protected:
  FakeMachine m;
  CVRNManager manager{m.os};
};

constexpr wchar_t kPatch[] = L"C:\\patch\\TXLDriverPatch.exe";

TEST_F(RunProcessTest, WaitsForTheProgramWhateverItsExitCode) {
  auto& program = m.processes.programs[fake::Fold(kPatch)];
  program.exitCode = 5;
  program.waitsBeforeExit = 0;
  EXPECT_TRUE(manager.RunProcess(kPatch, std::wstring(kPatch) + L" /silent", 0));
  EXPECT_EQ(m.LogLines(),
            (Lines{"CVRNManager  RunProcess  Started",
                   "CVRNManager:RunProcess  Runprocess File= C:\\patch\\TXLDriverPatch.exe, "
                   "Cmdline = C:\\patch\\TXLDriverPatch.exe /silent  Info",
                   "CVRNManager  RunProcess  Ended"}));
  EXPECT_EQ(m.processes.waits, (std::vector<port::DWORD>{0xFFFFFFFFu}));
  ASSERT_EQ(m.processes.launches.size(), 1u);
  EXPECT_EQ(m.processes.launches[0].creationFlags, 0u);
  EXPECT_EQ(m.processes.OpenHandles(), 0u);

  // An empty command line stays empty: the path goes as application name.
  EXPECT_TRUE(manager.RunProcess(kPatch, L"", 0x10));
  EXPECT_EQ(m.processes.launches[1].commandLine, L"");
  EXPECT_EQ(m.processes.launches[1].creationFlags, 0x10u);
  EXPECT_EQ(m.LogLines()[4],
            "CVRNManager:RunProcess  Runprocess File= C:\\patch\\TXLDriverPatch.exe, "
            "Cmdline =   Info");
}

TEST(ProgramCommandLine, APathWithBlanksStaysTheProgramsOwnArgument) {
  const struct {
    const wchar_t* program;
    const wchar_t* arguments;
    const wchar_t* line;
  } cases[] = {
      {L"C:\\patch\\p.exe", L"/silent", L"C:\\patch\\p.exe /silent"},
      {L"C:\\Program Files\\QZ\\p.exe", L"/silent", L"\"C:\\Program Files\\QZ\\p.exe\" /silent"},
      {L"C:\\Program Files\\QZ\\p.exe", L"null", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(ProgramCommandLine(c.program, c.arguments), c.line);
}

TEST_F(RunProcessTest, StartFailureIsLoggedWithItsCodeAndNoEnded) {
  m.processes.programs[fake::Fold(kPatch)].startError = 740;
  EXPECT_FALSE(manager.RunProcess(kPatch, kPatch, 0));
  const auto lines = m.LogLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[2], "CVRNManager:RunProcess  CreateProcess failed (GetLastError = 740)  failed");
  EXPECT_EQ(m.processes.OpenHandles(), 0u);
}

TEST_F(RunProcessTest, OverlongPathOrCommandLineIsRefused) {
  m.processes.unknownProgramError.reset();
  const std::wstring path254 = L"C:\\" + std::wstring(251, L'p');
  EXPECT_TRUE(manager.RunProcess(path254, path254, 0));

  EXPECT_FALSE(manager.RunProcess(path254 + L"p", L"", 0));
  EXPECT_EQ(m.LogLines().back(), "CVRNManager:RunProcess  Application path too long  255");
  EXPECT_FALSE(manager.RunProcess(kPatch, std::wstring(255, L'c'), 0));
  EXPECT_EQ(m.LogLines().back(), "CVRNManager:RunProcess  Command line too long  255");
  EXPECT_EQ(m.processes.launches.size(), 1u);
}

}  // namespace
}  // namespace qz
