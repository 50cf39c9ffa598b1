// The system information adapter against what Windows reports.
#include <windows.h>

#include <string>

#include "platform/win32/tests/adapter_checks.h"

namespace adapter_test {

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

}  // namespace adapter_test
