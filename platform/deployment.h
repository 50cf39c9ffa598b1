// What only the deployment wrapper asks of the system: the manager started
// with its own folders, the clock, the
// computer's name and its own console output.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/handles.h"
#include "platform/errors.h"
#include "platform/processes.h"
#include "platform/types.h"

namespace qz::port {

// SYSTEMTIME's date and time of day.
struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

inline constexpr DWORD kFileShareAll = 0x7;  // read, write and delete

class Deployment {
 public:
  virtual ~Deployment() = default;
  // CreateFileW of an existing file with the access and sharing given,
  // closed again at once: whether it could be opened (the image of a
  // running program cannot be opened for writing).
  virtual Status CreateFileW(const std::wstring& path, DWORD desiredAccess, DWORD shareMode) = 0;
  // CreateProcessW as Processes has it, but with the current directory
  // given and the caller's environment with `variables` set (name, value)
  // for the child alone.
  virtual Result<ProcessInformation> CreateProcessW(
      const std::wstring& applicationName, const std::wstring& commandLine,
      const std::wstring& currentDirectory,
      const std::vector<std::pair<std::wstring, std::wstring>>& variables) = 0;
  // GetFileAttributesExW's last write time (UTC, 100 ns since 1601).
  virtual Result<std::uint64_t> GetFileLastWriteTime(const std::wstring& path) = 0;
  // GetSystemTimeAsFileTime, on the same scale.
  virtual std::uint64_t GetSystemTimeAsFileTime() = 0;
  virtual LocalTime GetLocalTime() = 0;
  // GetFileVersionInfoW and VerQueryValueW(L"\\"): the file version of the
  // fixed record, its four parts from the most significant. Fails when the
  // file has no version record (kErrorResourceTypeNotFound) or version.dll
  // is missing.
  virtual Result<std::array<std::uint16_t, 4>> GetFileVersionInfoW(const std::wstring& path) = 0;
  // GetComputerNameW; empty when the system will not say.
  virtual std::wstring GetComputerNameW() = 0;
  // WriteFile to GetStdHandle(STD_OUTPUT_HANDLE); fails without a console
  // (kErrorInvalidHandle) and on a short write.
  virtual Status WriteStdOutput(const std::string& bytes) = 0;
};

}  // namespace qz::port
