// The patch manager's entry: the narrow command-line tail goes to the
// portable run, whose result is the exit code.
#include <windows.h>

#include "common/library_search.h"
#include "manager/entry.h"
#include "platform/win32/win32_platform.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR cmdLine, int) {
  try {
    // Before anything can load a library on the program's behalf.
    qz::RestrictLibrarySearch(*qz::win32::MakeLibrarySearch());
    Win32Platform platform;
    return qz::RunPatchManager(platform.Get(), cmdLine ? cmdLine : "");
  } catch (...) {
    return -1;
  }
}
