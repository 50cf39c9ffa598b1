// Stand-in for the maker's device-I/O component: owns one hidden top-level
// window of class "CQZAiODeviceIO" and records every 0x46F and
// WM_DEVICECHANGE it receives.
//   qzdevwin.exe <record file> [<seconds>]
// The record file gets "ready" once the window exists, then one line per
// message, then "closed"; the program ends on WM_CLOSE or after <seconds>
// (default 120).
#include <windows.h>
#include <dbt.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const UINT kServiceGoing = WM_USER + 111;  // 0x46F
std::string g_record;

void Record(const std::string& line) {
  const HANDLE file = CreateFileA(g_record.c_str(), FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string text = line + "\r\n";
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  char line[256];
  if (message == kServiceGoing) {
    std::snprintf(line, sizeof line, "0x46F wParam=%lu lParam=%ld",
                  static_cast<unsigned long>(wParam), static_cast<long>(lParam));
    Record(line);
    return 0;
  }
  if (message == WM_DEVICECHANGE) {
    const auto* oem = reinterpret_cast<const DEV_BROADCAST_OEM*>(lParam);
    if (oem != nullptr && (wParam & 0x8000)) {
      std::snprintf(line, sizeof line,
                    "WM_DEVICECHANGE wParam=0x%lX size=%lu devicetype=%lu reserved=%lu "
                    "identifier=%lu suppfunc=%lu",
                    static_cast<unsigned long>(wParam), oem->dbco_size, oem->dbco_devicetype,
                    oem->dbco_reserved, oem->dbco_identifier, oem->dbco_suppfunc);
    } else {
      std::snprintf(line, sizeof line, "WM_DEVICECHANGE wParam=0x%lX lParam=%ld",
                    static_cast<unsigned long>(wParam), static_cast<long>(lParam));
    }
    Record(line);
    return TRUE;
  }
  if (message == WM_TIMER || message == WM_CLOSE) {
    DestroyWindow(window);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  g_record = argv[1];
  const UINT seconds = argc > 2 ? static_cast<UINT>(std::atoi(argv[2])) : 120;
  WNDCLASSA cls = {};
  cls.lpfnWndProc = WindowProc;
  cls.hInstance = GetModuleHandleA(nullptr);
  cls.lpszClassName = "CQZAiODeviceIO";
  if (!RegisterClassA(&cls)) return 1;
  // Top-level (EnumWindows finds it) but never shown.
  const HWND window = CreateWindowA("CQZAiODeviceIO", "QZ device I/O", WS_OVERLAPPED, 0, 0, 10, 10,
                                    nullptr, nullptr, cls.hInstance, nullptr);
  if (window == nullptr) return 1;
  SetTimer(window, 1, seconds * 1000, nullptr);
  Record("ready");
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  Record("closed");
  return 0;
}
