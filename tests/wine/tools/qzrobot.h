// Shared by the robot's parts: the transcript (qzrobot_transcript.cpp), the
// window answering (qzrobot_windows.cpp) and the program run (qzrobot.cpp).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qzrobot {

extern HANDLE g_transcript;
extern bool g_anyProcess;

std::wstring FromUtf8(const std::string& s);
// One transcript record, flushed at once; to stdout without --transcript.
void Record(const std::vector<std::wstring>& fields);
void PrintLine(const std::wstring& line);
bool HexToBytes(const std::wstring& hex, std::string* out);

struct Scan {
  DWORD pid;
  std::vector<HWND> found;
};

// EnumWindows callback: the visible windows of scan->pid (or, with
// --any-process, of every process but the robot).
BOOL CALLBACK CollectWindows(HWND h, LPARAM lp);
// Reads and answers one newly seen window.
void Handle(HWND h, const std::wstring& press);
int BoxCheck();

}  // namespace qzrobot
