// Checks the Win32 adapters against the real API (run under Wine):
// each service is driven through the port, as the core drives it, and the
// outcome compared with what Windows itself reports.
//
// usage: qz_win32_adapter_test.exe [<path of QZVRN.exe>]
// With the path, the manager's string tables are checked as well.
// Exit code 0 when every check held; the failed ones are printed.
//
// One file per group of services; adapter_checks.h holds CHECK.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/win32/tests/adapter_checks.h"

namespace adapter_test {

namespace {

int g_failures = 0;
int g_checks = 0;

}  // namespace

void Check(bool ok, const char* what, int line) {
  ++g_checks;
  if (!ok) {
    ++g_failures;
    std::printf("FAILED line %d: %s\n", line, what);
  }
}

std::wstring Temp() {
  wchar_t buffer[MAX_PATH + 1];
  const DWORD n = ::GetTempPathW(MAX_PATH + 1, buffer);
  return std::wstring(buffer, n);
}

}  // namespace adapter_test

int wmain(int argc, wchar_t** argv) {
  using namespace adapter_test;
  wchar_t mode[32];
  if (::GetEnvironmentVariableW(kChildVariable, mode, 32) > 0) return Child(mode);

  Win32Platform platform;
  qz::port::Platform& os = platform.Get();
  SystemInfoChecks(os.system);
  FilesChecks(os.files);
  RegistryChecks(os.registry);
  ProcessesChecks(os.processes);
  ModulesChecks(os.modules);
  ComChecks(os.com);
  UiChecks(os.ui);
  ResourcesChecks(os.resources);
  if (argc > 1) ManagerStringChecks(argv[1]);

  std::printf("%d checks, %d failed\n", g_checks, g_failures);
  return g_failures == 0 ? 0 : 1;
}