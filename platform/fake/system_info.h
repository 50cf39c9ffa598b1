// FakeSystemInfo: the SystemInfo port (platform/system_info.h) in memory, for the native unit tests.
#pragma once
#include <functional>
#include <cstddef>
#include <set>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/fake/fold.h"
#include "platform/system_info.h"

namespace qz::fake {

class FakeSystemInfo : public port::SystemInfo {
 public:
  std::optional<std::string> systemDirectoryA = std::string("C:\\WINDOWS\\system32");
  std::set<unsigned char> leadBytes;  // a DBCS code page's lead bytes
  std::optional<std::string> GetSystemDirectoryA(std::size_t) override { return systemDirectoryA; }
  bool IsDBCSLeadByte(unsigned char byte) override { return leadBytes.count(byte) != 0; }
  std::optional<std::wstring> currentDirectory = L"C:\\patch";
  std::optional<std::wstring> tempPath = L"C:\\Temp\\";
  std::optional<std::wstring> systemDirectory = L"C:\\WINDOWS\\system32";
  DWORD tickCount = 1000;
  // Advances on every GetTickCount and Sleep, so waits are visible.
  DWORD sleptMilliseconds = 0;
  std::vector<DWORD> sleeps;
  port::OsVersionInfo version{284, 5, 1, 2600, 2, 1};
  bool extendedRecordRejected = false;
  bool versionQueryFails = false;
  LANGID systemLanguage = 1033;
  LANGID threadLanguage = 1033;
  LANGID userUiLanguage = 1033;
  std::map<DWORD, std::wstring> systemMessages;

  std::optional<std::wstring> GetCurrentDirectoryW() override { return currentDirectory; }
  std::optional<std::wstring> GetTempPathW() override { return tempPath; }
  std::optional<std::wstring> GetSystemDirectoryW() override { return systemDirectory; }
  DWORD GetTickCount() override { return tickCount + sleptMilliseconds; }
  std::function<void()> onSleep;  // what happens elsewhere meanwhile
  void Sleep(DWORD ms) override {
    sleeps.push_back(ms);
    sleptMilliseconds += ms;
    if (onSleep) onSleep();
  }
  bool GetVersionExW(port::OsVersionInfo& info) override;
  LANGID GetSystemDefaultLangID() override { return systemLanguage; }
  LANGID GetThreadLangID() override { return threadLanguage; }
  LANGID GetUserDefaultUILanguage() override { return userUiLanguage; }
  // The fake's ANSI code page is Latin-1.
  std::wstring MultiByteToWideChar(const std::string& ansi) override;
  std::optional<std::wstring> FormatMessageW(DWORD code) override;
};

}  // namespace qz::fake
