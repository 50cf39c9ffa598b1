// The process, module and COM adapters against the real API.
#include <windows.h>
#include <objbase.h>

#include <cwchar>
#include <string>

#include "platform/win32/tests/adapter_checks.h"

namespace adapter_test {

namespace {

// --- processes ---------------------------------------------------------------

std::wstring OwnPath() {
  wchar_t buffer[MAX_PATH + 1];
  const DWORD n = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH + 1);
  return std::wstring(buffer, n);
}

// Starts this program as a child in the given mode; returns its exit code,
// or -1 when it could not be started.
long RunChild(qz::port::Processes& processes, const wchar_t* mode,
              const std::wstring& commandLine) {
  ::SetEnvironmentVariableW(kChildVariable, mode);
  const auto started = processes.CreateProcessW(OwnPath(), commandLine, 0);
  ::SetEnvironmentVariableW(kChildVariable, nullptr);
  if (!started) return -1;
  const qz::port::ProcessInformation info = started.value;
  CHECK(processes.WaitForSingleObject(info.process, qz::port::kInfinite) == qz::port::kWaitObject0);
  const auto code = processes.GetExitCodeProcess(info.process);
  CHECK(code);
  CHECK(processes.CloseHandle(info.thread));
  CHECK(processes.CloseHandle(info.process));
  return static_cast<long>(code.value);
}

}  // namespace

void ProcessesChecks(qz::port::Processes& processes) {
  // The child answers with 100 + the length of the command line it got:
  // a given one arrives whole. An empty one arrives empty on Windows; Wine
  // hands the child its quoted application name instead.
  const long empty = RunChild(processes, L"length", L"");
  CHECK(empty == 100 || empty == 100 + 2 + static_cast<long>(OwnPath().size()));
  CHECK(RunChild(processes, L"length", L"prog /silent") == 112);

  ::SetEnvironmentVariableW(kChildVariable, L"sleep");
  const auto sleeping = processes.CreateProcessW(OwnPath(), L"child", qz::port::kCreateNoWindow);
  ::SetEnvironmentVariableW(kChildVariable, nullptr);
  CHECK(sleeping);
  const qz::port::ProcessInformation info = sleeping.value;
  auto code = processes.GetExitCodeProcess(info.process);
  CHECK(code && code.value == qz::port::kStillActive);
  CHECK(processes.WaitForSingleObject(info.process, 0) == qz::port::kWaitTimeout);
  CHECK(processes.WaitForSingleObject(info.process, qz::port::kInfinite) == qz::port::kWaitObject0);
  code = processes.GetExitCodeProcess(info.process);
  CHECK(code && code.value == 0xFFFFFFFFu);
  CHECK(processes.CloseHandle(info.thread) && processes.CloseHandle(info.process));

  const auto missing = processes.CreateProcessW(Temp() + L"qz_no_such_program.exe", L"", 0);
  const qz::port::DWORD error = missing.status.error;
  CHECK(!missing);
  CHECK(error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND);
}

int Child(const std::wstring& mode) {
  if (mode == L"sleep") {
    ::Sleep(300);
    return -1;  // as a true rule's script host ends
  }
  return 100 + static_cast<int>(std::wcslen(::GetCommandLineW()));
}

// --- modules -----------------------------------------------------------------

void ModulesChecks(qz::port::Modules& modules) {
  const qz::port::ModuleHandle kernel32 = modules.LoadLibraryW(L"kernel32.dll").value;
  CHECK(kernel32);
  CHECK(modules.GetProcAddress(kernel32, "GetTickCount"));
  CHECK(!modules.GetProcAddress(kernel32, "NoSuchExport"));
  CHECK(static_cast<bool>(modules.GetProcAddress(kernel32, "GetLocaleInfoEx")) ==
        (::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetLocaleInfoEx") != nullptr));

  using IsWow64Fn = BOOL(WINAPI*)(HANDLE, PBOOL);
  const auto direct = reinterpret_cast<IsWow64Fn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "IsWow64Process")));
  const auto wow64 = modules.IsWow64Process(kernel32);
  CHECK(static_cast<bool>(wow64) == (direct != nullptr));
  if (direct && wow64) {
    BOOL expected = FALSE;
    direct(::GetCurrentProcess(), &expected);
    CHECK(wow64.value == (expected != FALSE));
  }
  CHECK(!modules.IsWow64Process({}));
  CHECK(!modules.DllRegisterServer(kernel32));  // exports none
  CHECK(modules.FreeLibrary(kernel32));

  const auto missing = modules.LoadLibraryW(Temp() + L"qz_no_such.dll");
  CHECK(!missing && !missing.value);

  // msxml3 registers itself again as at prefix creation: harmless.
  const qz::port::ModuleHandle msxml = modules.LoadLibraryW(L"msxml3.dll").value;
  CHECK(msxml);
  const auto registered = modules.DllRegisterServer(msxml);
  CHECK(registered && registered.value >= 0);
  CHECK(modules.FreeLibrary(msxml));
}

// --- COM ---------------------------------------------------------------------

void ComChecks(qz::port::Com& com) {
  CHECK(com.CoInitialize() == S_OK);
  CHECK(com.CoInitialize() == S_FALSE);  // the apartment exists already
  const auto found = com.CLSIDFromProgID(L"Msxml2.DOMDocument.3.0");
  CHECK(found.hr == S_OK);
  const qz::port::Clsid& clsid = found.value;
  // {F5078F32-C551-11D3-89B9-0000F81FE221}, as laid out in memory
  const qz::port::Clsid domDocument30 = {0x32, 0x8F, 0x07, 0xF5, 0x51, 0xC5, 0xD3, 0x11,
                                         0x89, 0xB9, 0x00, 0x00, 0xF8, 0x1F, 0xE2, 0x21};
  CHECK(clsid == domDocument30);
  CHECK(com.CoCreateInstance(clsid) == S_OK);

  CHECK(com.CLSIDFromProgID(L"QZNoSuch.Class").hr == CO_E_CLASSSTRING);
  const qz::port::Clsid unknown = {0x51, 0x5A};
  CHECK(com.CoCreateInstance(unknown) == REGDB_E_CLASSNOTREG);
  com.CoUninitialize();
  com.CoUninitialize();
}

}  // namespace adapter_test
