// qzholder: holds a file open for writing, as another program that has it
// in use would. Usage: qzholder <file> <flag file> [read]
// Shares nothing, or only reading with "read". Writes "held" to the flag
// file once the file is open (or "error <n>" and exits 1), then keeps it
// open until the flag file is deleted or 60 s are up, and exits 0.
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

void WriteFlag(const wchar_t* path, const char* text) {
  // Written under another name and renamed: the test never reads half a flag.
  wchar_t tmp[MAX_PATH + 8];
  swprintf(tmp, MAX_PATH + 8, L"%ls.new", path);
  FILE* f = _wfopen(tmp, L"wb");
  if (!f) return;
  std::fputs(text, f);
  std::fclose(f);
  MoveFileExW(tmp, path, MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  const DWORD most = 60000;
  const DWORD share = argc > 3 && lstrcmpW(argv[3], L"read") == 0 ? FILE_SHARE_READ : 0;
  HANDLE file = CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    char text[32];
    std::snprintf(text, sizeof text, "error %lu", GetLastError());
    WriteFlag(argv[2], text);
    return 1;
  }
  WriteFlag(argv[2], "held");
  const DWORD start = GetTickCount();
  while (GetFileAttributesW(argv[2]) != INVALID_FILE_ATTRIBUTES && GetTickCount() - start < most) {
    Sleep(50);
  }
  CloseHandle(file);
  return 0;
}
