// Checks the Win32 adapters against the real API (run under Wine):
// each service is driven through the port, as the core drives it, and the
// outcome compared with what Windows itself reports.
//
// usage: qz_win32_adapter_test.exe [<path of QZVRN.exe>]
// With the path, the manager's string tables are checked as well.
// Exit code 0 when every check held; the failed ones are printed.
#include <windows.h>

#include <algorithm>
#include <vector>
#include <objbase.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/win32_platform.h"

namespace {

int g_failures = 0;
int g_checks = 0;

void Check(bool ok, const char* what, int line) {
  ++g_checks;
  if (!ok) {
    ++g_failures;
    std::printf("FAILED line %d: %s\n", line, what);
  }
}
#define CHECK(expr) Check(static_cast<bool>(expr), #expr, __LINE__)

constexpr wchar_t kChildVariable[] = L"QZ_ADAPTER_TEST_CHILD";

std::wstring Temp() {
  wchar_t buffer[MAX_PATH + 1];
  const DWORD n = ::GetTempPathW(MAX_PATH + 1, buffer);
  return std::wstring(buffer, n);
}

std::string ReadAll(const std::wstring& path) {
  const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "<none>";
  std::string data;
  char chunk[512];
  DWORD read = 0;
  while (::ReadFile(h, chunk, sizeof chunk, &read, nullptr) && read > 0) {
    data.append(chunk, read);
  }
  ::CloseHandle(h);
  return data;
}

// --- system information ------------------------------------------------------

void SystemInfoChecks(qz::port::SystemInfo& system) {
  // Folders come back whole, also past MAX_PATH.
  const std::wstring folder = Temp() + L"qz_adapter_cwd";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  wchar_t before[MAX_PATH + 1];
  ::GetCurrentDirectoryW(MAX_PATH + 1, before);
  CHECK(::SetCurrentDirectoryW(folder.c_str()));
  CHECK(system.GetCurrentDirectoryW() == folder);
  ::SetCurrentDirectoryW(before);
  ::RemoveDirectoryW(folder.c_str());

  const auto temp = system.GetTempPathW();
  CHECK(temp && *temp == Temp());
  CHECK(temp && !temp->empty() && temp->back() == L'\\');
  {
    // GetTempPathW takes TMP as it is, up to its own limit of MAX_PATH; a
    // long one must come back whole.
    wchar_t saved[32768];
    const DWORD had = ::GetEnvironmentVariableW(L"TMP", saved, 32768);
    const std::wstring longTmp = L"C:\\" + std::wstring(250, L'a');
    ::SetEnvironmentVariableW(L"TMP", longTmp.c_str());
    const auto longTemp = system.GetTempPathW();
    CHECK(longTemp && *longTemp == longTmp + L"\\");
    ::SetEnvironmentVariableW(L"TMP", had ? saved : nullptr);
  }

  wchar_t systemDir[MAX_PATH + 1];
  const UINT n = ::GetSystemDirectoryW(systemDir, MAX_PATH + 1);
  CHECK(system.GetSystemDirectoryW() == std::wstring(systemDir, n));

  // The extended record, the basic one (product type 0), and sizes that
  // the system refuses.
  qz::port::OsVersionInfo extended;
  extended.size = 284;
  CHECK(system.GetVersionExW(extended));
  OSVERSIONINFOEXW direct{};
  direct.dwOSVersionInfoSize = sizeof direct;
  ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&direct));
  CHECK(extended.majorVersion == direct.dwMajorVersion);
  CHECK(extended.minorVersion == direct.dwMinorVersion);
  CHECK(extended.buildNumber == direct.dwBuildNumber);
  CHECK(extended.platformId == 2);
  CHECK(extended.productType == direct.wProductType && extended.productType != 0);
  qz::port::OsVersionInfo basic;
  basic.size = 276;
  CHECK(system.GetVersionExW(basic));
  CHECK(basic.majorVersion == direct.dwMajorVersion && basic.productType == 0);
  qz::port::OsVersionInfo odd;
  odd.size = 100;
  CHECK(!system.GetVersionExW(odd));
  odd.size = 400;
  CHECK(!system.GetVersionExW(odd));

  CHECK(system.GetSystemDefaultLangID() == ::GetSystemDefaultLangID());
  CHECK(system.GetThreadLangID() == LANGIDFROMLCID(::GetThreadLocale()));
  CHECK(system.GetUserDefaultUILanguage() == ::GetUserDefaultUILanguage());

  CHECK(system.MultiByteToWideChar("QZSU") == L"QZSU");
  CHECK(system.MultiByteToWideChar("").empty());
  if (::GetACP() == 1252) CHECK(system.MultiByteToWideChar("\xE4\x80") == L"\x00E4\x20AC");

  // ERROR_FILE_NOT_FOUND has a text everywhere; it comes without its line
  // end. A code no system knows has none.
  const auto notFound = system.FormatMessageW(2);
  CHECK(notFound && !notFound->empty());
  CHECK(notFound && notFound->back() != L'\n' && notFound->back() != L'\r');
  CHECK(!system.FormatMessageW(0x2000DEADu));
}

// --- files -------------------------------------------------------------------

void FilesChecks(qz::port::Files& files) {
  const std::wstring dir = Temp() + L"qz_adapter_files";
  const std::wstring path = dir + L"\\log.txt";
  ::DeleteFileW(path.c_str());
  ::DeleteFileW((dir + L"\\copy.txt").c_str());
  ::RemoveDirectoryW(dir.c_str());

  CHECK(files.CreateDirectoryW(dir));
  CHECK(files.CreateDirectoryW(dir).error == ERROR_ALREADY_EXISTS);
  CHECK(files.FindFirstFileW(dir));
  CHECK(!files.FindFirstFileW(path));

  // A failed open is 0, never INVALID_HANDLE_VALUE.
  CHECK(files.CreateFileW(dir + L"\\no such folder\\x.txt") == 0);

  qz::port::Handle file = files.CreateFileW(path);
  CHECK(file != 0);
  CHECK(files.WriteFile(file, "first run\r\n", 11));
  // Others may read the open file, as a reader of the log does.
  CHECK(ReadAll(path) == "first run\r\n");
  CHECK(files.CloseHandle(file));

  // An existing file is emptied.
  file = files.CreateFileW(path);
  CHECK(file != 0);
  CHECK(files.WriteFile(file, "", 0));
  CHECK(files.WriteFile(file, "2", 1));
  CHECK(files.CloseHandle(file));
  CHECK(ReadAll(path) == "2");

  CHECK(files.FindFirstFileW(path));
  CHECK(files.FindFirstFileW(dir + L"\\*.txt"));
  CHECK(!files.FindFirstFileW(dir + L"\\*.js"));

  const std::wstring copy = dir + L"\\copy.txt";
  CHECK(files.CopyFileW(path, copy, true));
  CHECK(!files.CopyFileW(path, copy, true));
  CHECK(files.CopyFileW(path, copy, false));
  CHECK(!files.CopyFileW(dir + L"\\missing.txt", copy, false));

  // A search reports "." and ".." beside the names, with their attributes.
  std::vector<std::wstring> names;
  qz::port::FindData found;
  {
    qz::port::UniqueFind search(files, files.FindFirstFileW(dir + L"\\*.*", found));
    CHECK(search.Valid());
    do {
      names.push_back(found.fileName);
      if (found.fileName == L".") CHECK(found.attributes == FILE_ATTRIBUTE_DIRECTORY);
    } while (files.FindNextFileW(search.Get(), found));
  }
  std::sort(names.begin(), names.end());
  CHECK((names == std::vector<std::wstring>{L".", L"..", L"copy.txt", L"log.txt"}));

  // A read-only file resists deletion until its attribute is cleared.
  const DWORD attributes = files.GetFileAttributesW(copy);
  CHECK(files.SetFileAttributesW(copy, attributes | FILE_ATTRIBUTE_READONLY));
  CHECK(files.DeleteFileW(copy).error == ERROR_ACCESS_DENIED);
  CHECK(files.SetFileAttributesW(copy, attributes));
  CHECK(files.GetFileAttributesW(dir + L"\\missing.txt") == INVALID_FILE_ATTRIBUTES);

  CHECK(files.MoveFileW(copy, path).error == ERROR_ALREADY_EXISTS);
  CHECK(files.RemoveDirectoryW(dir).error == ERROR_DIR_NOT_EMPTY);
  CHECK(files.DeleteFileW(copy));
  CHECK(files.DeleteFileW(copy).error == ERROR_FILE_NOT_FOUND);
  CHECK(files.MoveFileW(path, copy));
  CHECK(files.DeleteFileW(copy));
  CHECK(files.RemoveDirectoryW(dir));
}

// --- registry ----------------------------------------------------------------

void RegistryChecks(qz::port::Registry& registry) {
  const wchar_t* subKey = L"SOFTWARE\\QZAdapterTest";
  HKEY key = nullptr;
  CHECK(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                          nullptr) == ERROR_SUCCESS);
  const wchar_t path[] = L"C:\\Program Files";  // stored with its terminator
  ::RegSetValueExW(key, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path), sizeof path);
  const wchar_t bare[] = {L'a', L'b'};  // stored without one
  ::RegSetValueExW(key, L"Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>(bare), sizeof bare);
  const DWORD number = 7;
  ::RegSetValueExW(key, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof number);
  ::RegCloseKey(key);

  const auto openedKey = registry.RegOpenKeyExW(subKey, qz::port::kKeyRead);
  CHECK(openedKey);
  const qz::port::Handle opened = openedKey.value;
  CHECK(opened != 0);
  auto read = registry.RegQueryValueExW(opened, L"Path", 255);
  CHECK(read && read.value.type == REG_SZ && read.value.data.size() == sizeof path &&
        std::memcmp(read.value.data.data(), path, sizeof path) == 0);
  read = registry.RegQueryValueExW(opened, L"Bare", 255);
  CHECK(read && read.value.data.size() == 4 && read.value.data[0] == 'a' &&
        read.value.data[2] == 'b');
  read = registry.RegQueryValueExW(opened, L"Number", 4);
  CHECK(read && read.value.type == REG_DWORD && read.value.data.size() == 4 &&
        read.value.data[0] == 7);
  // Too small, also with no room at all: ERROR_MORE_DATA and the size.
  read = registry.RegQueryValueExW(opened, L"Path", 8);
  CHECK(read.status.error == ERROR_MORE_DATA && read.value.requiredBytes == sizeof path);
  read = registry.RegQueryValueExW(opened, L"Path", 0);
  CHECK(read.status.error == ERROR_MORE_DATA && read.value.requiredBytes == sizeof path);
  CHECK(registry.RegQueryValueExW(opened, L"Missing", 255).status.error == ERROR_FILE_NOT_FOUND);
  CHECK(registry.RegCloseKey(opened));

  const auto none = registry.RegOpenKeyExW(L"SOFTWARE\\QZAdapterTest\\Absent", qz::port::kKeyRead);
  CHECK(none.status.error == ERROR_FILE_NOT_FOUND);
  CHECK(none.value == 0);
  ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, subKey);
}

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
  const qz::port::Handle kernel32 = modules.LoadLibraryW(L"kernel32.dll").value;
  CHECK(kernel32 != 0);
  CHECK(modules.GetProcAddress(kernel32, "GetTickCount"));
  CHECK(!modules.GetProcAddress(kernel32, "NoSuchExport"));
  CHECK(modules.GetProcAddress(kernel32, "GetLocaleInfoEx") ==
        (::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetLocaleInfoEx") != nullptr));

  using IsWow64Fn = BOOL(WINAPI*)(HANDLE, PBOOL);
  const auto direct = reinterpret_cast<IsWow64Fn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "IsWow64Process")));
  const auto wow64 = modules.IsWow64Process(kernel32);
  CHECK(wow64.has_value() == (direct != nullptr));
  if (direct && wow64) {
    BOOL expected = FALSE;
    direct(::GetCurrentProcess(), &expected);
    CHECK(*wow64 == (expected != FALSE));
  }
  CHECK(!modules.IsWow64Process(0));
  CHECK(!modules.DllRegisterServer(kernel32));  // exports none
  CHECK(modules.FreeLibrary(kernel32));

  const auto missing = modules.LoadLibraryW(Temp() + L"qz_no_such.dll");
  CHECK(!missing && missing.value == 0);

  // msxml3 registers itself again as at prefix creation: harmless.
  const qz::port::Handle msxml = modules.LoadLibraryW(L"msxml3.dll").value;
  CHECK(msxml != 0);
  const auto registered = modules.DllRegisterServer(msxml);
  CHECK(registered && *registered >= 0);
  CHECK(modules.FreeLibrary(msxml));
}

// --- COM ---------------------------------------------------------------------

void ComChecks(qz::port::Com& com) {
  CHECK(com.CoInitialize() == S_OK);
  CHECK(com.CoInitialize() == S_FALSE);  // the apartment exists already
  qz::port::Clsid clsid{};
  CHECK(com.CLSIDFromProgID(L"Msxml2.DOMDocument.3.0", clsid) == S_OK);
  // {F5078F32-C551-11D3-89B9-0000F81FE221}, as laid out in memory
  const qz::port::Clsid domDocument30 = {0x32, 0x8F, 0x07, 0xF5, 0x51, 0xC5, 0xD3, 0x11,
                                         0x89, 0xB9, 0x00, 0x00, 0xF8, 0x1F, 0xE2, 0x21};
  CHECK(clsid == domDocument30);
  CHECK(com.CoCreateInstance(clsid) == S_OK);

  CHECK(com.CLSIDFromProgID(L"QZNoSuch.Class", clsid) == CO_E_CLASSSTRING);
  const qz::port::Clsid unknown = {0x51, 0x5A};
  CHECK(com.CoCreateInstance(unknown) == REGDB_E_CLASSNOTREG);
  com.CoUninitialize();
  com.CoUninitialize();
}

// --- user interface and resources ------------------------------------------------

void UiChecks(qz::port::Ui& ui) {
  CHECK(ui.GetDesktopWindow() == reinterpret_cast<qz::port::Handle>(::GetDesktopWindow()));
}

// Reads string `id` out of a raw block, as the core does.
std::wstring FromBlock(const std::vector<std::uint16_t>& block, unsigned id) {
  std::size_t pos = 0;
  for (unsigned i = 0; i < id % 16 && pos < block.size(); ++i) pos += 1 + block[pos];
  if (pos >= block.size() || pos + 1 + block[pos] > block.size()) return L"?";
  return std::wstring(block.begin() + pos + 1, block.begin() + pos + 1 + block[pos]);
}

void ResourcesChecks(qz::port::Resources& resources) {
  const auto german = resources.FindStringBlock(1, 1031);
  CHECK(german.has_value());
  if (german) {
    CHECK(german->size() >= 16);
    CHECK(FromBlock(*german, 1) ==
          L"Gr\x00FC\x00DF"
          L"e eins");
    CHECK(FromBlock(*german, 3) == L"drei");
    CHECK(FromBlock(*german, 2).empty());
  }
  const auto neutral = resources.FindStringBlock(2, 1024);  // ids 16 to 31
  CHECK(neutral && FromBlock(*neutral, 17) == L"neutral seventeen");
  CHECK(!resources.FindStringBlock(1, 1041));
  CHECK(!resources.FindStringBlock(5, 1024));
  CHECK(!resources.FindStringBlock(0, 1024));
  CHECK(!resources.FindStringBlock(0x10000, 1024));

  CHECK(resources.LoadStringW(17) == L"neutral seventeen");
  CHECK(resources.LoadStringW(2).empty());
}

// The manager's tables: every block holds the six messages, message 1 with
// its line break and leading blank, and every text that names the maker
// names it "QZ".
void ManagerStringChecks(const std::wstring& exe) {
  const HMODULE module = ::LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  CHECK(module != nullptr);
  if (!module) return;
  const WORD languages[] = {1024, 1025, 1028, 1029, 1030, 1031, 1032, 1033, 1034, 1035, 1036, 1037,
                            1038, 1040, 1041, 1042, 1043, 1044, 1045, 1046, 1049, 1053, 1055, 2052};
  std::vector<std::wstring> english;
  for (WORD language : languages) {
    const HRSRC found = ::FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(1), language);
    CHECK(found != nullptr);
    if (!found) {
      std::printf("  (no block for language %u)\n", language);
      continue;
    }
    const auto* data =
        static_cast<const std::uint16_t*>(::LockResource(::LoadResource(module, found)));
    const std::vector<std::uint16_t> block(
        data, data + ::SizeofResource(module, found) / sizeof(std::uint16_t));
    std::vector<std::wstring> texts;
    for (unsigned id : {1u, 2u, 3u, 5u, 6u, 7u}) texts.push_back(FromBlock(block, id));
    for (const auto& text : texts) CHECK(!text.empty() && text != L"?");
    CHECK(FromBlock(block, 4).empty());
    const std::size_t lineBreak = texts[0].find(L'\n');
    CHECK(lineBreak != std::wstring::npos && lineBreak + 1 < texts[0].size() &&
          texts[0][lineBreak + 1] == L' ');
    CHECK(texts[0].find(L"QZ") != std::wstring::npos);
    CHECK(texts[2].find(L"QZ") != std::wstring::npos);
    if (language == 1024) english = texts;
    if (language == 1033) CHECK(texts == english);
    if (language != 1024 && language != 1033) CHECK(texts[4] != english[4]);
    if (language == 1031) CHECK(texts[5] == L"Sp\x00E4ter neu starten");
  }
  const HRSRC dialog = ::FindResourceExW(module, RT_DIALOG, MAKEINTRESOURCEW(168),
                                         MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
  CHECK(dialog != nullptr);
  // No manifest: Windows 8 and later must report 6.2 to the manager.
  CHECK(::FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST) == nullptr);
  ::FreeLibrary(module);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
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
