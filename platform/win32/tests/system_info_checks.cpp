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
  CHECK(system.GetCurrentDirectoryW().value == folder);
  ::SetCurrentDirectoryW(before);
  ::RemoveDirectoryW(folder.c_str());

  const auto temp = system.GetTempPathW();
  CHECK(temp && temp.value == Temp());
  CHECK(temp && !temp.value.empty() && temp.value.back() == L'\\');
  {
    // GetTempPathW takes TMP as it is, up to its own limit of MAX_PATH; a
    // long one must come back whole.
    wchar_t saved[32768];
    const DWORD had = ::GetEnvironmentVariableW(L"TMP", saved, 32768);
    const std::wstring longTmp = L"C:\\" + std::wstring(250, L'a');
    ::SetEnvironmentVariableW(L"TMP", longTmp.c_str());
    const auto longTemp = system.GetTempPathW();
    CHECK(longTemp && longTemp.value == longTmp + L"\\");
    ::SetEnvironmentVariableW(L"TMP", had ? saved : nullptr);
  }

  wchar_t systemDir[MAX_PATH + 1];
  const UINT n = ::GetSystemDirectoryW(systemDir, MAX_PATH + 1);
  CHECK(system.GetSystemDirectoryW().value == std::wstring(systemDir, n));

  // The extended record, the basic one (product type 0), and sizes that
  // the system refuses.
  const auto extendedRead = system.GetVersionExW(284);
  CHECK(extendedRead);
  const qz::port::OsVersionInfo& extended = extendedRead.value;
  OSVERSIONINFOEXW direct{};
  direct.dwOSVersionInfoSize = sizeof direct;
  ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&direct));
  CHECK(extended.majorVersion == direct.dwMajorVersion);
  CHECK(extended.minorVersion == direct.dwMinorVersion);
  CHECK(extended.buildNumber == direct.dwBuildNumber);
  CHECK(extended.platformId == 2);
  CHECK(extended.productType == direct.wProductType && extended.productType != 0);
  const auto basicRead = system.GetVersionExW(276);
  CHECK(basicRead);
  const qz::port::OsVersionInfo& basic = basicRead.value;
  CHECK(basic.majorVersion == direct.dwMajorVersion && basic.productType == 0);
  CHECK(!system.GetVersionExW(100));
  CHECK(!system.GetVersionExW(400));

  CHECK(system.GetSystemDefaultLangID() == ::GetSystemDefaultLangID());
  CHECK(system.GetThreadLangID() == LANGIDFROMLCID(::GetThreadLocale()));
  CHECK(system.GetUserDefaultUILanguage() == ::GetUserDefaultUILanguage());

  CHECK(system.MultiByteToWideChar("QZSU") == L"QZSU");
  CHECK(system.MultiByteToWideChar("").empty());
  if (::GetACP() == 1252) CHECK(system.MultiByteToWideChar("\xE4\x80") == L"\x00E4\x20AC");

  // ERROR_FILE_NOT_FOUND has a text everywhere; it comes without its line
  // end. A code no system knows has none.
  const auto notFound = system.FormatMessageW(2);
  CHECK(notFound && !notFound.value.empty());
  CHECK(notFound && notFound.value.back() != L'\n' && notFound.value.back() != L'\r');
  CHECK(!system.FormatMessageW(0x2000DEADu));
}

}  // namespace adapter_test
