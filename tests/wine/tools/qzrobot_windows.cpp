// The robot's window answering: reads the visible windows of the program
// and answers each as --press chose.
#include "qzrobot.h"

namespace qzrobot {

bool g_anyProcess = false;

namespace {

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

}  // namespace

BOOL CALLBACK CollectWindows(HWND h, LPARAM lp) {
  Scan* scan = reinterpret_cast<Scan*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  bool wanted = g_anyProcess ? pid != GetCurrentProcessId() : pid == scan->pid;
  if (wanted && IsWindowVisible(h)) scan->found.push_back(h);
  return TRUE;
}

namespace {

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

}  // namespace

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

namespace {

DWORD WINAPI ShowCheckBox(LPVOID) {
  return (DWORD)MessageBoxW(nullptr, L"qzrobot box check", L"qzrobot", MB_OK);
}

}  // namespace

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

}  // namespace qzrobot
