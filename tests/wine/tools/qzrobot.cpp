// qzrobot: starts one Windows program with an exact command line and plays
// the user for it. `wine prog "QZSU "` cannot give a trailing blank, an empty
// tail or a very long one, so the Wine tests start the product through this
// launcher. While the child runs, every visible dialog window (#32770) of the
// child is read once and answered: message boxes get OK, the restart dialog
// (it has control 1002) gets the button chosen with --press. The driver
// patch's restart dialog (control 1003, buttons IDOK and IDCANCEL) is
// recorded and answered the same way; --press esc sends it an Esc key.
//
// Transcript (UTF-8, one record a line, fields split by tabs, \ \t \n \r
// escaped as \\ \t \n \r):
//   cmdline  <command line given to CreateProcessW>
//   child    <process id of the program>
//   box      <caption> <text of control 0xFFFF> <button texts joined by |> <pid>
//   dialog   <caption> <text of 1002> <text of 1000> <text of 1001> <pid>
//            (driver patch: <caption> <text of 1003> <text of 1> <text of 2> <pid>)
//   press    <what was pressed>
//   window   <class> <caption> <pid>    (any other visible top-level window)
//   timeout                             (child killed after --timeout-ms)
//   error    <message>                  (the robot itself failed)
//   exit     <signed exit code of the child>
// Each line is flushed at once: a "Restart Now" ends every process of the
// prefix, the robot included, and the lines written until then must survive.
//
// Exit code: the child's, 124 on timeout, 125 on bad arguments, 126 when the
// child could not be started.
//
// Only windows of the started program are answered, or with --any-process
// those of every process but the robot (programs that the program starts).
// The program runs in a job: a timeout ends the programs it started too,
// and --wait-all waits after its end for those (regsvr32 and the like) to
// end as well, within the same timeout.
//
// --info prints facts of the Wine prefix as key=value lines instead (temp
// folder, language ids, Windows version, WOW64).
//
// --box-check shows a message box of its own and answers it; it prints
// "box=ok" when the box could be found, else "box=failed" (a prefix whose
// desktop process went bad returns every message box at once).

#include <windows.h>
#include <tlhelp32.h>
#include <shellapi.h>

#include <set>
#include <string>
#include <vector>

#include "qzrobot.h"

namespace {

using qzrobot::PrintLine;

int Info() {
  wchar_t temp[MAX_PATH + 1] = {0};
  GetTempPathW(MAX_PATH + 1, temp);
  PrintLine(std::wstring(L"temp=") + temp);
  wchar_t buf[64];
  wsprintfW(buf, L"system_lang=%u", (unsigned)GetSystemDefaultLangID());
  PrintLine(buf);
  wsprintfW(buf, L"user_lang=%u", (unsigned)GetUserDefaultLangID());
  PrintLine(buf);
  wsprintfW(buf, L"ui_lang=%u", (unsigned)GetUserDefaultUILanguage());
  PrintLine(buf);
  wsprintfW(buf, L"thread_locale=%u", (unsigned)GetThreadLocale());
  PrintLine(buf);
  wsprintfW(buf, L"acp=%u", GetACP());
  PrintLine(buf);
  OSVERSIONINFOW v = {};
  v.dwOSVersionInfoSize = sizeof(v);
  GetVersionExW(&v);
  wsprintfW(buf, L"version=%lu.%lu.%lu", v.dwMajorVersion, v.dwMinorVersion, v.dwPlatformId);
  PrintLine(buf);
  typedef BOOL(WINAPI * IsWow64Fn)(HANDLE, PBOOL);
  IsWow64Fn fn =
      (IsWow64Fn)(void*)GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsWow64Process");
  BOOL wow = FALSE;
  if (fn) fn(GetCurrentProcess(), &wow);
  wsprintfW(buf, L"wow64=%d", wow ? 1 : 0);
  PrintLine(buf);
  wchar_t user[256] = {0};
  GetEnvironmentVariableW(L"USERNAME", user, 256);
  PrintLine(std::wstring(L"username=") + user);
  return 0;
}

// True while a process of the job still runs. Wine's desktop process
// (explorer.exe) may be started inside the job by the first window of a
// run and lives on for the whole prefix: it is not the program's.
bool JobBusy(HANDLE job) {
  if (!job) return false;
  struct {
    JOBOBJECT_BASIC_PROCESS_ID_LIST list;
    ULONG_PTR more[255];
  } ids = {};
  ids.list.NumberOfAssignedProcesses = 256;
  if (!QueryInformationJobObject(job, JobObjectBasicProcessIdList, &ids, sizeof(ids), nullptr))
    return false;
  if (ids.list.NumberOfProcessIdsInList == 0) return false;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return true;
  bool busy = false;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot, &entry); more && !busy;
       more = Process32NextW(snapshot, &entry)) {
    for (DWORD i = 0; i < ids.list.NumberOfProcessIdsInList; ++i) {
      if (ids.list.ProcessIdList[i] == entry.th32ProcessID &&
          lstrcmpiW(entry.szExeFile, L"explorer.exe") != 0) {
        busy = true;
      }
    }
  }
  CloseHandle(snapshot);
  return busy;
}

void Usage() {
  PrintLine(
      L"usage: qzrobot --exe <path> [--cwd <dir>] [--tail-hex <hex utf-8>]\n"
      L"               [--transcript <file>] [--press ok|now|later|close|esc|none]\n"
      L"               [--timeout-ms <n>] [--poll-ms <n>] [--any-process]\n"
      L"               [--wait-all]\n"
      L"       qzrobot --info | --box-check");
}

}  // namespace

int main() {
  using namespace qzrobot;
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::wstring exe, cwd, tailHex, transcript, press = L"ok";
  DWORD timeoutMs = 60000, pollMs = 25;
  bool waitAll = false;
  for (int i = 1; i < argc; ++i) {
    std::wstring a = argv[i];
    if (a == L"--info") return Info();
    if (a == L"--box-check") return BoxCheck();
    if (a == L"--any-process") {
      g_anyProcess = true;
      continue;
    }
    if (a == L"--wait-all") {
      waitAll = true;
      continue;
    }
    if (i + 1 >= argc) {
      Usage();
      return 125;
    }
    std::wstring v = argv[++i];
    if (a == L"--exe")
      exe = v;
    else if (a == L"--cwd")
      cwd = v;
    else if (a == L"--tail-hex")
      tailHex = v;
    else if (a == L"--transcript")
      transcript = v;
    else if (a == L"--press")
      press = v;
    else if (a == L"--timeout-ms")
      timeoutMs = wcstoul(v.c_str(), nullptr, 10);
    else if (a == L"--poll-ms")
      pollMs = wcstoul(v.c_str(), nullptr, 10);
    else {
      Usage();
      return 125;
    }
  }
  if (!transcript.empty()) {
    g_transcript =
        CreateFileW(transcript.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (g_transcript == INVALID_HANDLE_VALUE) {
      PrintLine(L"error\tcannot create transcript " + transcript);
      return 125;
    }
  }
  if (exe.empty() || (press != L"ok" && press != L"now" && press != L"later" && press != L"close" &&
                      press != L"none" && press != L"esc")) {
    Record({L"error", L"bad arguments"});
    Usage();
    return 125;
  }
  std::string tail;
  if (!HexToBytes(tailHex, &tail)) {
    Record({L"error", L"bad --tail-hex"});
    return 125;
  }
  // The GUI start-up code skips the quoted program name and the blanks after
  // it; everything else reaches WinMain untouched.
  std::wstring cmdline = L"\"" + exe + L"\"";
  if (!tail.empty()) cmdline += L" " + FromUtf8(tail);
  Record({L"cmdline", cmdline});

  std::vector<wchar_t> cmdbuf(cmdline.begin(), cmdline.end());
  cmdbuf.push_back(L'\0');
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (!CreateProcessW(exe.c_str(), cmdbuf.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                      nullptr, cwd.empty() ? nullptr : cwd.c_str(), &si, &pi)) {
    wchar_t buf[64];
    wsprintfW(buf, L"CreateProcessW failed %lu", GetLastError());
    Record({L"error", buf});
    return 126;
  }
  if (job && !AssignProcessToJobObject(job, pi.hProcess)) {
    CloseHandle(job);
    job = nullptr;
  }
  ResumeThread(pi.hThread);
  CloseHandle(pi.hThread);
  {
    wchar_t buf[16];
    wsprintfW(buf, L"%lu", pi.dwProcessId);
    Record({L"child", buf});
  }

  std::set<HWND> seen;
  DWORD start = GetTickCount();
  bool timedOut = false;
  for (;;) {
    DWORD w = WaitForSingleObject(pi.hProcess, pollMs);
    Scan scan{pi.dwProcessId, {}};
    EnumWindows(CollectWindows, (LPARAM)&scan);
    // Forget closed windows so a reused handle counts as a new window.
    for (auto it = seen.begin(); it != seen.end();)
      it = IsWindow(*it) ? std::next(it) : seen.erase(it);
    for (HWND h : scan.found) {
      if (seen.insert(h).second) Handle(h, press);
    }
    if (w == WAIT_OBJECT_0) {
      if (!(waitAll && JobBusy(job))) break;
      Sleep(pollMs);
    }
    if (GetTickCount() - start > timeoutMs) {
      if (job) TerminateJobObject(job, 124);
      TerminateProcess(pi.hProcess, 124);
      WaitForSingleObject(pi.hProcess, 5000);
      timedOut = true;
      break;
    }
  }
  if (job) CloseHandle(job);
  if (timedOut) {
    Record({L"timeout"});
    CloseHandle(pi.hProcess);
    return 124;
  }
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  wchar_t buf[32];
  wsprintfW(buf, L"%ld", (long)(LONG)code);
  Record({L"exit", buf});
  if (g_transcript != INVALID_HANDLE_VALUE) CloseHandle(g_transcript);
  return (int)code;
}
