// System information: folders, clock, versions, languages, text conversion.
#pragma once
#include <cstddef>
#include <string>

#include "platform/types.h"

namespace qz::port {

// The part of OSVERSIONINFOEXW the product reads. `size` is the record
// size that was handed to GetVersionExW: 284 asks for the extended record,
// 276 for the basic one (whose product type then reads 0).
struct OsVersionInfo {
  DWORD size = 0;
  DWORD majorVersion = 0;
  DWORD minorVersion = 0;
  DWORD buildNumber = 0;
  DWORD platformId = 0;
  std::uint8_t productType = 0;
};

class SystemInfo {
 public:
  virtual ~SystemInfo() = default;
  // The whole current directory (the adapter sizes its buffer by a first
  // call).
  virtual Result<std::wstring> GetCurrentDirectoryW() = 0;
  // The temporary folder with its trailing backslash, whatever its length.
  virtual Result<std::wstring> GetTempPathW() = 0;
  // The system directory, whatever its length.
  virtual Result<std::wstring> GetSystemDirectoryW() = 0;
  // GetSystemDirectoryA into `bufferChars`; a directory that does not fit
  // fails with ERROR_INSUFFICIENT_BUFFER.
  virtual Result<std::string> GetSystemDirectoryA(std::size_t bufferChars) = 0;
  // IsDBCSLeadByte in the ANSI code page: whether `byte` starts a
  // two-byte character, so that a backslash after it is no separator.
  virtual bool IsDBCSLeadByte(unsigned char byte) = 0;
  virtual DWORD GetTickCount() = 0;
  virtual void Sleep(DWORD milliseconds) = 0;
  // The version record of `recordSize` bytes (284 or 276); fails when the
  // system rejects that size.
  virtual Result<OsVersionInfo> GetVersionExW(DWORD recordSize) = 0;
  virtual LANGID GetSystemDefaultLangID() = 0;
  // The calling thread's language (from its locale on old systems).
  virtual LANGID GetThreadLangID() = 0;
  virtual LANGID GetUserDefaultUILanguage() = 0;
  // CP_ACP to UTF-16, the whole text.
  virtual std::wstring MultiByteToWideChar(const std::string& ansi) = 0;
  // The system's message for a code, without its line end; fails with the
  // code FormatMessageW left when the system has none.
  virtual Result<std::wstring> FormatMessageW(DWORD code) = 0;
};

}  // namespace qz::port
