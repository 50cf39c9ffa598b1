// qzprobe: a stand-in GUI program for testing the test bed itself. It stores
// the command-line tail its WinMain received (hex, in cmdline.hex beside
// itself) and then acts on the words of that tail:
//   BOX     a message box, caption "QZ", text with a line break and non-ASCII
//   TWO     two message boxes in a row
//   DLG     dialog 168 with controls 1002/1000/1001; exits with the id pressed
//   HANG    sleeps for 100 s
//   REBOOT  ExitWindowsEx(EWX_REBOOT | EWX_FORCE)
//   CRASH   raises an access violation (a null write need not fault under
//           emulation, which maps page zero)
//   SPAWN   starts another qzprobe with BOX, waits and exits with its code
//   DETACH  starts another qzprobe with LATE and exits at once
//   LATE    sleeps 1 s, then writes late.txt beside itself
// and exits with -1.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

INT_PTR CALLBACK DialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
  if (msg == WM_INITDIALOG) return TRUE;
  if (msg == WM_COMMAND) {
    EndDialog(dlg, LOWORD(wp));
    return TRUE;
  }
  return FALSE;
}

bool Has(const char* cmd, const char* word) { return std::strstr(cmd, word); }

void SaveTail(const char* cmd, const wchar_t* name = L"cmdline.hex") {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  while (n && path[n - 1] != L'\\') --n;
  lstrcpyW(path + n, name);
  FILE* f = _wfopen(path, L"wb");
  if (!f) return;
  for (const unsigned char* p = (const unsigned char*)cmd; *p; ++p) std::fprintf(f, "%02x", *p);
  std::fclose(f);
}

void Reboot() {
  HANDLE token;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    TOKEN_PRIVILEGES tp = {};
    LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &tp.Privileges[0].Luid);
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr);
    CloseHandle(token);
  }
  ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0);
  Sleep(10000);
}

int Spawn(const wchar_t* word, bool wait) {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  wchar_t cmd[MAX_PATH + 16];
  wsprintfW(cmd, L"\"%s\" %s", path, word);
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(path, cmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 3;
  if (!wait) {
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return 0;
  }
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return (int)code;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmd, int) {
  if (Has(cmd, "SPAWN")) return Spawn(L"BOX", true);
  if (Has(cmd, "DETACH")) return Spawn(L"LATE", false);
  if (Has(cmd, "LATE")) {
    Sleep(1000);
    SaveTail("late", L"late.txt");
    return 0;
  }
  SaveTail(cmd);
  if (Has(cmd, "BOX") || Has(cmd, "TWO"))
    MessageBoxW(GetDesktopWindow(), L"Hello\nw\u00f6rld \u65e5\u672c", L"QZ",
                MB_OK | MB_ICONINFORMATION);
  if (Has(cmd, "TWO")) MessageBoxW(GetDesktopWindow(), L"second", L"QZ", MB_OK);
  if (Has(cmd, "DLG"))
    return (int)DialogBoxParamW(instance, MAKEINTRESOURCEW(168), GetDesktopWindow(), DialogProc, 0);
  if (Has(cmd, "HANG")) Sleep(100000);
  if (Has(cmd, "REBOOT")) Reboot();
  if (Has(cmd, "CRASH"))
    RaiseException(EXCEPTION_ACCESS_VIOLATION, EXCEPTION_NONCONTINUABLE, 0, nullptr);
  return -1;
}
