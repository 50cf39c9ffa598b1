#include "checker/win32/script_host_win32.h"

#include <windows.h>

#include <string>
#include <vector>

#include "common/text_file.h"
#include "platform/handles.h"

namespace qz::check {

namespace {

constexpr DWORD kHostTimeout = 30000;

std::wstring TempName(const wchar_t* suffix) {
  wchar_t folder[MAX_PATH + 1] = {0};
  if (!::GetTempPathW(MAX_PATH + 1, folder)) return std::wstring();
  static unsigned counter = 0;
  return std::wstring(folder) + L"qzvrn-check-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
         std::to_wstring(++counter) + suffix;
}

bool WriteAll(const std::wstring& path, const std::string& bytes) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const port::ScopeExit close([file] { ::CloseHandle(file); });
  DWORD written = 0;
  return ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

std::string ReadAll(HANDLE file) {
  std::string bytes;
  ::SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
    bytes.append(buffer, got);
  return bytes;
}

}  // namespace

std::string Win32ScriptHost::Unavailable() {
  // Wine's script host exits 0 on a syntax error and says nothing useful.
  if (::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) {
    return "the script host under Wine does not report syntax errors";
  }
  return std::string();
}

SyntaxResult Win32ScriptHost::Check(const std::wstring& script) {
  // Only the host script is a script; the rule goes in as data.
  const std::wstring hostPath = TempName(L".js");
  const std::wstring rulePath = TempName(L".txt");
  SyntaxResult result{SyntaxResult::kNotRun, 0, "cannot write a temporary file"};
  wchar_t system[MAX_PATH + 1] = {0};
  const UINT systemLength = ::GetSystemDirectoryW(system, MAX_PATH + 1);
  if (hostPath.empty() || rulePath.empty() || systemLength == 0 || systemLength > MAX_PATH) {
    return result;
  }
  const port::ScopeExit removeFiles([&] {
    ::DeleteFileW(hostPath.c_str());
    ::DeleteFileW(rulePath.c_str());
  });
  if (!WriteAll(hostPath, kHostScript) || !WriteAll(rulePath, EncodeUtf16WithBom(script))) {
    return result;
  }
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  const std::wstring outputPath = TempName(L".out");
  HANDLE output = ::CreateFileW(outputPath.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  result = {SyntaxResult::kNotRun, 0, "cannot start cscript.exe"};
  if (output == INVALID_HANDLE_VALUE) return result;
  const port::ScopeExit closeOutput([output] { ::CloseHandle(output); });
  // By its full path, and not from the patch folder (the current
  // directory), where a cscript.exe of the patch could lie.
  const std::wstring host = std::wstring(system, systemLength) + L"\\cscript.exe";
  std::wstring commandLine =
      L"\"" + host + L"\" //Nologo //E:JScript \"" + hostPath + L"\" \"" + rulePath + L"\"";
  std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back(L'\0');
  const std::wstring folder = hostPath.substr(0, hostPath.find_last_of(L'\\') + 1);
  STARTUPINFOW start = {};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = nullptr;
  start.hStdOutput = output;
  start.hStdError = output;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(host.c_str(), buffer.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                        nullptr, folder.c_str(), &start, &process)) {
    return result;
  }
  const port::ScopeExit closeProcess([&process] {
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  });
  if (::WaitForSingleObject(process.hProcess, kHostTimeout) != WAIT_OBJECT_0) {
    ::TerminateProcess(process.hProcess, 1);
    return {SyntaxResult::kNotRun, 0, "the script host did not end"};
  }
  return ParseHostReport(ReadAll(output));
}

}  // namespace qz::check
