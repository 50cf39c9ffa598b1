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

namespace {

HANDLE g_transcript = INVALID_HANDLE_VALUE;
bool g_anyProcess = false;

std::string ToUtf8(const std::wstring& w) {
  if (w.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), nullptr, 0, nullptr, nullptr);
  std::string s(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), &s[0], n, nullptr, nullptr);
  return s;
}

std::wstring FromUtf8(const std::string& s) {
  if (s.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), nullptr, 0);
  std::wstring w(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), &w[0], n);
  return w;
}

std::wstring Escape(const std::wstring& in) {
  std::wstring out;
  for (wchar_t c : in) {
    switch (c) {
      case L'\\': out += L"\\\\"; break;
      case L'\t': out += L"\\t"; break;
      case L'\n': out += L"\\n"; break;
      case L'\r': out += L"\\r"; break;
      default: out += c;
    }
  }
  return out;
}

void Record(const std::vector<std::wstring>& fields) {
  std::wstring line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) line += L'\t';
    line += i ? Escape(fields[i]) : fields[i];
  }
  line += L'\n';
  std::string bytes = ToUtf8(line);
  if (g_transcript != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(g_transcript, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
    FlushFileBuffers(g_transcript);
  } else {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), (DWORD)bytes.size(), &written,
              nullptr);
  }
}

void PrintLine(const std::wstring& line) {
  std::string bytes = ToUtf8(line + L"\n");
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), (DWORD)bytes.size(), &written, nullptr);
}

bool HexToBytes(const std::wstring& hex, std::string* out) {
  if (hex.size() % 2) return false;
  out->clear();
  for (size_t i = 0; i < hex.size(); i += 2) {
    int v = 0;
    for (int k = 0; k < 2; ++k) {
      wchar_t c = hex[i + k];
      int d;
      if (c >= L'0' && c <= L'9')
        d = c - L'0';
      else if (c >= L'a' && c <= L'f')
        d = c - L'a' + 10;
      else if (c >= L'A' && c <= L'F')
        d = c - L'A' + 10;
      else
        return false;
      v = v * 16 + d;
    }
    out->push_back((char)v);
  }
  return true;
}

std::wstring WindowText(HWND h) {
  int n = GetWindowTextLengthW(h);
  std::wstring s(n + 1, L'\0');
  n = GetWindowTextW(h, &s[0], n + 1);
  s.resize(n > 0 ? n : 0);
  return s;
}

std::wstring ItemText(HWND dlg, int id) {
  HWND item = GetDlgItem(dlg, id);
  if (!item) return std::wstring();
  // Message texts fit 1024 characters; leave room for longer ones anyway.
  std::wstring s(8192, L'\0');
  UINT n = GetDlgItemTextW(dlg, id, &s[0], (int)s.size());
  s.resize(n);
  return s;
}

std::wstring ClassOf(HWND h) {
  wchar_t cls[256] = {0};
  GetClassNameW(h, cls, 256);
  return cls;
}

struct Scan {
  DWORD pid;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindows(HWND h, LPARAM lp) {
  Scan* scan = reinterpret_cast<Scan*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  bool wanted = g_anyProcess ? pid != GetCurrentProcessId() : pid == scan->pid;
  if (wanted && IsWindowVisible(h)) scan->found.push_back(h);
  return TRUE;
}

std::wstring PidOf(HWND h) {
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  wchar_t buf[16];
  wsprintfW(buf, L"%lu", pid);
  return buf;
}

BOOL CALLBACK CollectButtons(HWND h, LPARAM lp) {
  std::wstring* out = reinterpret_cast<std::wstring*>(lp);
  if (IsWindowVisible(h) && lstrcmpiW(ClassOf(h).c_str(), L"Button") == 0) {
    if (!out->empty()) *out += L'|';
    *out += WindowText(h);
  }
  return TRUE;
}

void Click(HWND dlg, int id) {
  PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dlg, id));
}

// Reads and answers one newly seen window.
void Handle(HWND h, const std::wstring& press) {
  std::wstring cls = ClassOf(h);
  if (cls != L"#32770") {
    Record({L"window", cls, WindowText(h), PidOf(h)});
    return;
  }
  if (GetDlgItem(h, 1003)) {
    Record({L"dialog", WindowText(h), ItemText(h, 1003), ItemText(h, IDOK), ItemText(h, IDCANCEL),
            PidOf(h)});
    Record({L"press", press});
    if (press == L"now")
      Click(h, IDOK);
    else if (press == L"later")
      Click(h, IDCANCEL);
    else if (press == L"close")
      PostMessageW(h, WM_CLOSE, 0, 0);
    else if (press == L"esc") {
      // To the focused button, as a key press reaches the dialog's loop.
      HWND target = GetDlgItem(h, IDOK);
      PostMessageW(target ? target : h, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
      PostMessageW(target ? target : h, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    }
    return;
  }
  if (GetDlgItem(h, 1002)) {
    Record({L"dialog", WindowText(h), ItemText(h, 1002), ItemText(h, 1000), ItemText(h, 1001),
            PidOf(h)});
    Record({L"press", press});
    if (press == L"now")
      Click(h, 1000);
    else if (press == L"later")
      Click(h, 1001);
    else if (press == L"close")
      PostMessageW(h, WM_CLOSE, 0, 0);
    return;
  }
  std::wstring buttons;
  EnumChildWindows(h, CollectButtons, (LPARAM)&buttons);
  Record({L"box", WindowText(h), ItemText(h, 0xFFFF), buttons, PidOf(h)});
  if (press == L"none") return;
  Record({L"press", L"ok"});
  Click(h, IDOK);
}

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

DWORD WINAPI ShowCheckBox(LPVOID) {
  return (DWORD)MessageBoxW(nullptr, L"qzrobot box check", L"qzrobot", MB_OK);
}

int BoxCheck() {
  DWORD tid = 0;
  HANDLE thread = CreateThread(nullptr, 0, ShowCheckBox, nullptr, 0, &tid);
  if (!thread) return 1;
  bool found = false;
  for (int i = 0; i < 400 && !found; ++i) {
    if (WaitForSingleObject(thread, 25) == WAIT_OBJECT_0) break;
    Scan scan{GetCurrentProcessId(), {}};
    EnumWindows(CollectWindows, (LPARAM)&scan);
    for (HWND h : scan.found) {
      if (ClassOf(h) == L"#32770") {
        found = true;
        Click(h, IDOK);
      }
    }
  }
  bool ended = WaitForSingleObject(thread, 5000) == WAIT_OBJECT_0;
  DWORD answer = 0;
  GetExitCodeThread(thread, &answer);
  CloseHandle(thread);
  bool ok = found && ended && answer == IDOK;
  PrintLine(ok ? L"box=ok" : L"box=failed");
  return ok ? 0 : 1;
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
