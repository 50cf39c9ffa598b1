// qzprobe: a stand-in GUI program for testing the test bed itself. It stores
// the command-line tail its WinMain received (hex, in cmdline.hex beside
// itself) and then acts on the words of that tail:
//   BOX     a message box, caption "QZ", text with a line break and non-ASCII
//   TWO     two message boxes in a row
//   DLG     dialog 168 with controls 1002/1000/1001; exits with the id pressed
//   HANG    sleeps for 100 s
//   REBOOT  ExitWindowsEx(EWX_REBOOT | EWX_FORCE)
//   CRASH   writes through a null pointer
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

void SaveTail(const char* cmd) {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  while (n && path[n - 1] != L'\\') --n;
  lstrcpyW(path + n, L"cmdline.hex");
  FILE* f = _wfopen(path, L"wb");
  if (!f) return;
  for (const unsigned char* p = (const unsigned char*)cmd; *p; ++p)
    std::fprintf(f, "%02x", *p);
  std::fclose(f);
}

void Reboot() {
  HANDLE token;
  if (OpenProcessToken(GetCurrentProcess(),
                       TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    TOKEN_PRIVILEGES tp = {};
    LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege",
                          &tp.Privileges[0].Luid);
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr);
    CloseHandle(token);
  }
  ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0);
  Sleep(10000);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmd, int) {
  SaveTail(cmd);
  if (Has(cmd, "BOX") || Has(cmd, "TWO"))
    MessageBoxW(GetDesktopWindow(), L"Hello\nw\u00f6rld \u65e5\u672c", L"QZ",
                MB_OK | MB_ICONINFORMATION);
  if (Has(cmd, "TWO")) MessageBoxW(GetDesktopWindow(), L"second", L"QZ", MB_OK);
  if (Has(cmd, "DLG"))
    return (int)DialogBoxParamW(instance, MAKEINTRESOURCEW(168),
                                GetDesktopWindow(), DialogProc, 0);
  if (Has(cmd, "HANG")) Sleep(100000);
  if (Has(cmd, "REBOOT")) Reboot();
  if (Has(cmd, "CRASH")) *(volatile int*)nullptr = 1;
  return -1;
}
