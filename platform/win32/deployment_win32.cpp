// The deployment wrapper's own calls over kernel32.
#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace qz::win32 {

namespace {

class Win32Deployment : public port::Deployment {
 public:
  port::Handle CreateMutexW(const std::wstring& name, bool& alreadyExists) override {
    const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
    const DWORD error = ::GetLastError();
    alreadyExists = error == ERROR_ALREADY_EXISTS || (!mutex && error == ERROR_ACCESS_DENIED);
    return reinterpret_cast<port::Handle>(mutex);
  }

  bool CloseHandle(port::Handle object) override {
    return ::CloseHandle(reinterpret_cast<HANDLE>(object)) != FALSE;
  }

  port::Status CreateFileW(const std::wstring& path, port::DWORD desiredAccess,
                           port::DWORD shareMode) override {
    const HANDLE file = ::CreateFileW(path.c_str(), desiredAccess, shareMode, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return port::Status::Failed(::GetLastError());
    ::CloseHandle(file);
    return port::Status::Ok();
  }

  bool SetCurrentDirectoryW(const std::wstring& path) override {
    return ::SetCurrentDirectoryW(path.c_str()) != FALSE;
  }

  std::optional<std::uint64_t> GetFileLastWriteTime(const std::wstring& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    return (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
           data.ftLastWriteTime.dwLowDateTime;
  }

  std::uint64_t GetSystemTimeAsFileTime() override {
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  }

  port::LocalTime GetLocalTime() override {
    SYSTEMTIME t{};
    ::GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
  }

  std::wstring GetComputerNameW() override {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!::GetComputerNameW(name, &size)) return {};
    return std::wstring(name, size);
  }

  bool WriteStdOutput(const std::string& bytes) override {
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    return ::WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
  }
};

}  // namespace

std::unique_ptr<port::Deployment> MakeDeployment() { return std::make_unique<Win32Deployment>(); }

}  // namespace qz::win32
