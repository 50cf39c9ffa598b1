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
  port::Result<std::string> GetSystemDirectoryA(std::size_t) override {
    return Answer(systemDirectoryA);
  }
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

  port::Result<std::wstring> GetCurrentDirectoryW() override { return Answer(currentDirectory); }
  port::Result<std::wstring> GetTempPathW() override { return Answer(tempPath); }
  port::Result<std::wstring> GetSystemDirectoryW() override { return Answer(systemDirectory); }
  DWORD GetTickCount() override { return tickCount + sleptMilliseconds; }
  std::function<void()> onSleep;  // what happens elsewhere meanwhile
  void Sleep(DWORD ms) override {
    sleeps.push_back(ms);
    sleptMilliseconds += ms;
    if (onSleep) onSleep();
  }
  port::Result<port::OsVersionInfo> GetVersionExW(DWORD recordSize) override;
  LANGID GetSystemDefaultLangID() override { return systemLanguage; }
  LANGID GetThreadLangID() override { return threadLanguage; }
  LANGID GetUserDefaultUILanguage() override { return userUiLanguage; }
  // The fake's ANSI code page is Latin-1.
  std::wstring MultiByteToWideChar(const std::string& ansi) override;
  port::Result<std::wstring> FormatMessageW(DWORD code) override;

 private:
  // A folder the test took away reads as one the system cannot find.
  template <typename Text>
  static port::Result<Text> Answer(const std::optional<Text>& folder) {
    if (!folder) return port::Result<Text>::Failed(port::kErrorPathNotFound);
    return port::Result<Text>::Ok(*folder);
  }
};

}  // namespace qz::fake
