// SystemInfo over kernel32: folders whatever their length, the version
// record, languages and text conversion.
#include <windows.h>

#include <vector>

#include "platform/win32/unique_handles.h"
#include "platform/win32/win32_platform.h"

namespace qz::win32 {

namespace {

// Calls an API of the GetTempPathW kind, which answers the length without
// the terminator when the text fits and the size it needs otherwise. The
// buffer grows until the text fits, so a path of any length comes back
// whole.
template <typename Call>
port::Result<std::wstring> ReadGrowing(Call call, std::size_t firstSize) {
  using Read = port::Result<std::wstring>;
  std::vector<wchar_t> buffer(firstSize);
  for (int attempt = 0; attempt < 8; ++attempt) {
    const UINT length = call(static_cast<UINT>(buffer.size()), buffer.data());
    if (length == 0) return Read::Failed(::GetLastError());
    if (length < buffer.size()) return Read::Ok(std::wstring(buffer.data(), length));
    // The value may change between calls; ask again with its new size.
    buffer.resize(static_cast<std::size_t>(length) + 1);
  }
  return Read::Failed(ERROR_INSUFFICIENT_BUFFER);
}

class Win32SystemInfo : public port::SystemInfo {
 public:
  port::Result<std::wstring> GetCurrentDirectoryW() override {
    // Sized by a first call without a buffer, which answers the size
    // with the terminator.
    return ReadGrowing(
        [](UINT size, wchar_t* buffer) {
          return static_cast<UINT>(::GetCurrentDirectoryW(static_cast<DWORD>(size), buffer));
        },
        0);
  }

  port::Result<std::wstring> GetTempPathW() override {
    return ReadGrowing(
        [](UINT size, wchar_t* buffer) {
          return static_cast<UINT>(::GetTempPathW(static_cast<DWORD>(size), buffer));
        },
        MAX_PATH + 1);
  }

  port::Result<std::wstring> GetSystemDirectoryW() override {
    return ReadGrowing(
        [](UINT size, wchar_t* buffer) { return ::GetSystemDirectoryW(buffer, size); },
        MAX_PATH + 1);
  }

  port::DWORD GetTickCount() override { return ::GetTickCount(); }

  void Sleep(port::DWORD milliseconds) override { ::Sleep(milliseconds); }

  port::Result<std::string> GetSystemDirectoryA(std::size_t bufferChars) override {
    using Read = port::Result<std::string>;
    std::vector<char> buffer(bufferChars + 1, '\0');
    const UINT length = ::GetSystemDirectoryA(buffer.data(), static_cast<UINT>(bufferChars));
    if (length == 0) return Read::Failed(::GetLastError());
    if (length >= bufferChars) return Read::Failed(ERROR_INSUFFICIENT_BUFFER);
    return Read::Ok(std::string(buffer.data(), length));
  }

  bool IsDBCSLeadByte(unsigned char byte) override { return ::IsDBCSLeadByte(byte) != FALSE; }

  port::Result<port::OsVersionInfo> GetVersionExW(port::DWORD recordSize) override {
    using Read = port::Result<port::OsVersionInfo>;
    // Always the extended record's room, zeroed, so that a basic request
    // leaves the product type 0.
    OSVERSIONINFOEXW record{};
    if (recordSize > sizeof record) return Read::Failed(ERROR_INSUFFICIENT_BUFFER);
    record.dwOSVersionInfoSize = recordSize;
    if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&record))) {
      return Read::Failed(::GetLastError());
    }
    port::OsVersionInfo info;
    info.size = recordSize;
    info.majorVersion = record.dwMajorVersion;
    info.minorVersion = record.dwMinorVersion;
    info.buildNumber = record.dwBuildNumber;
    info.platformId = record.dwPlatformId;
    info.productType = record.wProductType;
    return Read::Ok(info);
  }

  port::LANGID GetSystemDefaultLangID() override { return ::GetSystemDefaultLangID(); }

  port::LANGID GetThreadLangID() override { return LANGIDFROMLCID(::GetThreadLocale()); }

  port::LANGID GetUserDefaultUILanguage() override { return ::GetUserDefaultUILanguage(); }

  std::wstring MultiByteToWideChar(const std::string& ansi) override {
    if (ansi.empty()) return {};
    const int bytes = static_cast<int>(ansi.size());
    const int length = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), bytes, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    const int written = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), bytes, &wide[0], length);
    wide.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return wide;
  }

  port::Result<std::wstring> FormatMessageW(port::DWORD code) override {
    using Read = port::Result<std::wstring>;
    UniqueLocalString text;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<wchar_t*>(text.Put()), 0, nullptr);
    if (length == 0 || !text.Valid()) return Read::Failed(::GetLastError());
    std::wstring message(text.Get(), length);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r')) {
      message.pop_back();
    }
    return Read::Ok(std::move(message));
  }
};

}  // namespace

std::unique_ptr<port::SystemInfo> MakeSystemInfo() { return std::make_unique<Win32SystemInfo>(); }

}  // namespace qz::win32
