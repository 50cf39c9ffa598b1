// qzhold: holds a file open without any sharing, so that a copy onto it
// fails as it does on an executable in use. It asks for reading only: the
// image of a running program cannot be opened for writing (qzholder).
//   qzhold.exe <path> <seconds>
// Writes "<path>.held" once the file is held; ends after <seconds>.
#include <windows.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const HANDLE file =
      CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  const std::string marker = std::string(argv[1]) + ".held";
  const HANDLE done = CreateFileA(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (done != INVALID_HANDLE_VALUE) CloseHandle(done);
  Sleep(static_cast<DWORD>(std::atoi(argv[2])) * 1000);
  CloseHandle(file);
  return 0;
}
