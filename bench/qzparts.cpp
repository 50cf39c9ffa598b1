// qzparts: the parts of a main job done bare, timed inside the process so
// that no program start is counted (the manager's own start is measured on
// its own).
//
//   qzparts hosts <cscript.exe> <script>...   runs each script as the manager
//       does (CreateProcessW, CREATE_NO_WINDOW, wait) from a process without
//       a console, as the manager is; each must end true (-1)
//   qzparts hosts-console ...   the same, the hosts sharing this console
//   qzparts copy <source folder> <destination folder>    CopyFileW of every
//       file of the source folder
//   qzparts setup <source folder> <destination folder>   the same through
//       SetupInstallFileExW with the manager's copy style
//
// Prints "seconds <total>" and, for 20 files or more, "first <mean s of the
// first tenth>" and "last <mean s of the last tenth>". Exit code 0, or 1 on
// any failure (with a line saying which).
#include <windows.h>
#include <setupapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return double(t.QuadPart) / double(frequency.QuadPart);
}

std::vector<std::wstring> FilesOf(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

int Report(const std::vector<double>& each) {
  double total = 0;
  for (double t : each) total += t;
  std::printf("seconds %.6f\n", total);
  const size_t tenth = each.size() / 10;
  if (tenth >= 2) {
    double first = 0, last = 0;
    for (size_t i = 0; i < tenth; ++i) {
      first += each[i];
      last += each[each.size() - 1 - i];
    }
    std::printf("first %.6f\nlast %.6f\n", first / tenth, last / tenth);
  }
  return 0;
}

int Hosts(int argc, wchar_t** argv, bool console) {
  // Without a console each host gets one of its own, as under the manager.
  if (!console) FreeConsole();
  std::vector<double> each;
  for (int i = 3; i < argc; ++i) {
    // The manager's command line: host, blank, quoted script name.
    std::wstring line = std::wstring(argv[2]) + L" \"" + argv[i] + L"\"";
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    const double t0 = Now();
    if (!CreateProcessW(argv[2], buffer.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &si, &pi)) {
      std::printf("error CreateProcessW %lu\n", GetLastError());
      return 1;
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    each.push_back(Now() - t0);
    if (code != 0xFFFFFFFFu) {
      std::printf("error script %d ended with %lu, not true\n", i - 2, code);
      return 1;
    }
  }
  return Report(each);
}

int Copy(const std::wstring& source, const std::wstring& destination, bool setup) {
  // SP_COPY_NEWERONLY | NOSKIP | IN_USE_NEEDS_REBOOT | SOURCE_ABSOLUTE.
  const DWORD style = 0x10580;
  std::vector<double> each;
  for (const std::wstring& name : FilesOf(source)) {
    const std::wstring target = destination + L"\\" + name;
    const double t0 = Now();
    BOOL inUse = FALSE;
    const BOOL ok = setup ? SetupInstallFileExW(nullptr, nullptr, name.c_str(), source.c_str(),
                                                target.c_str(), style, nullptr, nullptr, &inUse)
                          : CopyFileW((source + L"\\" + name).c_str(), target.c_str(), FALSE);
    each.push_back(Now() - t0);
    if (!ok) {
      std::printf("error copy of %ls: %lu\n", name.c_str(), GetLastError());
      return 1;
    }
  }
  return Report(each);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if ((mode == L"hosts" || mode == L"hosts-console") && argc > 3)
    return Hosts(argc, argv, mode == L"hosts-console");
  if ((mode == L"copy" || mode == L"setup") && argc == 4)
    return Copy(argv[2], argv[3], mode == L"setup");
  std::printf("error usage: qzparts hosts|copy|setup ...\n");
  return 1;
}
