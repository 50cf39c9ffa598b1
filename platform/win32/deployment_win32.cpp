// The deployment wrapper's own calls over kernel32.
#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <vector>

#include "platform/win32/library_loading.h"
#include "platform/win32/win32_platform.h"

namespace qz::win32 {

namespace {

std::wstring UpperName(const std::wstring& entry) {
  // "=C:=C:\dir" keeps its leading "=" as part of the name.
  const std::size_t cut = entry.find(L'=', 1);
  std::wstring name = entry.substr(0, cut);
  for (wchar_t& c : name) c = static_cast<wchar_t>(std::towupper(c));
  return name;
}

// The caller's block with `variables` replaced or added, sorted by name
// without regard to case as the system keeps it, ending in two NULs.
std::vector<wchar_t> ChildEnvironment(
    const std::vector<std::pair<std::wstring, std::wstring>>& variables) {
  std::vector<std::wstring> entries;
  if (wchar_t* block = ::GetEnvironmentStringsW()) {
    for (const wchar_t* p = block; *p; p += wcslen(p) + 1) entries.emplace_back(p);
    ::FreeEnvironmentStringsW(block);
  }
  for (const auto& [name, value] : variables) {
    std::wstring upper = name;
    for (wchar_t& c : upper) c = static_cast<wchar_t>(std::towupper(c));
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const std::wstring& e) { return UpperName(e) == upper; }),
                  entries.end());
    entries.push_back(name + L"=" + value);
  }
  std::stable_sort(
      entries.begin(), entries.end(),
      [](const std::wstring& a, const std::wstring& b) { return UpperName(a) < UpperName(b); });
  std::vector<wchar_t> out;
  for (const std::wstring& e : entries) {
    out.insert(out.end(), e.begin(), e.end());
    out.push_back(L'\0');
  }
  out.push_back(L'\0');
  if (entries.empty()) out.push_back(L'\0');
  return out;
}

class Win32Deployment : public port::Deployment {
 public:
  port::Status CreateFileW(const std::wstring& path, port::DWORD desiredAccess,
                           port::DWORD shareMode) override {
    const HANDLE file = ::CreateFileW(path.c_str(), desiredAccess, shareMode, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return port::Status::Failed(::GetLastError());
    ::CloseHandle(file);
    return port::Status::Ok();
  }

  port::Result<port::ProcessInformation> CreateProcessW(
      const std::wstring& applicationName, const std::wstring& commandLine,
      const std::wstring& currentDirectory,
      const std::vector<std::pair<std::wstring, std::wstring>>& variables) override {
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    std::vector<wchar_t> environment = ChildEnvironment(variables);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(applicationName.c_str(), line.data(), nullptr, nullptr, FALSE,
                          CREATE_UNICODE_ENVIRONMENT, environment.data(), currentDirectory.c_str(),
                          &startup, &started)) {
      return port::Result<port::ProcessInformation>::Failed(::GetLastError());
    }
    return port::Result<port::ProcessInformation>::Ok(
        {{reinterpret_cast<std::uintptr_t>(started.hProcess)},
         {reinterpret_cast<std::uintptr_t>(started.hThread)}});
  }

  port::Result<std::uint64_t> GetFileLastWriteTime(const std::wstring& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
      return port::Result<std::uint64_t>::Failed(::GetLastError());
    }
    return port::Result<std::uint64_t>::Ok(
        (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
        data.ftLastWriteTime.dwLowDateTime);
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

  // version.dll is no known DLL on every Windows: it is taken from the
  // system folder at run time, never from beside the program.
  port::Result<std::array<std::uint16_t, 4>> GetFileVersionInfoW(
      const std::wstring& path) override {
    using Version = port::Result<std::array<std::uint16_t, 4>>;
    using SizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
    using InfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
    using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
    const auto size = SystemFunctionAs<SizeFn>(L"version.dll", "GetFileVersionInfoSizeW");
    const auto info = SystemFunctionAs<InfoFn>(L"version.dll", "GetFileVersionInfoW");
    const auto query = SystemFunctionAs<QueryFn>(L"version.dll", "VerQueryValueW");
    if (!size || !info || !query) return Version::Failed(ERROR_PROC_NOT_FOUND);
    DWORD ignored = 0;
    const DWORD bytes = size(path.c_str(), &ignored);
    if (bytes == 0) return Version::Failed(::GetLastError());
    std::vector<std::uint8_t> block(bytes);
    if (!info(path.c_str(), 0, bytes, block.data())) return Version::Failed(::GetLastError());
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!query(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed ||
        length < sizeof *fixed || fixed->dwSignature != 0xFEEF04BD) {
      return Version::Failed(ERROR_RESOURCE_TYPE_NOT_FOUND);
    }
    return Version::Ok({static_cast<std::uint16_t>(fixed->dwFileVersionMS >> 16),
                        static_cast<std::uint16_t>(fixed->dwFileVersionMS),
                        static_cast<std::uint16_t>(fixed->dwFileVersionLS >> 16),
                        static_cast<std::uint16_t>(fixed->dwFileVersionLS)});
  }

  std::wstring GetComputerNameW() override {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!::GetComputerNameW(name, &size)) return {};
    return std::wstring(name, size);
  }

  port::Status WriteStdOutput(const std::string& bytes) override {
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == INVALID_HANDLE_VALUE) return port::Status::Failed(::GetLastError());
    // No console and no redirection: nothing to write to, and no code said so.
    if (out == nullptr) return port::Status::Failed(ERROR_INVALID_HANDLE);
    DWORD written = 0;
    if (!::WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
      return port::Status::Failed(::GetLastError());
    }
    // A short write left no code of its own.
    return written == bytes.size() ? port::Status::Ok() : port::Status::Failed(0);
  }
};

}  // namespace

std::unique_ptr<port::Deployment> MakeDeployment() { return std::make_unique<Win32Deployment>(); }

}  // namespace qz::win32
