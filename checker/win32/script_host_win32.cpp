#include "checker/win32/script_host_win32.h"

#include <windows.h>

#include <string>
#include <vector>

#include "common/text_file.h"

namespace qz::check {

namespace {

constexpr DWORD kHostTimeout = 30000;

std::wstring TempName(const wchar_t* suffix) {
  wchar_t folder[MAX_PATH + 1] = {0};
  if (!::GetTempPathW(MAX_PATH + 1, folder)) return std::wstring();
  static unsigned counter = 0;
  return std::wstring(folder) + L"qzvrn-check-" + std::to_wstring(::GetCurrentProcessId()) +
         L"-" + std::to_wstring(++counter) + suffix;
}

bool WriteAll(const std::wstring& path, const std::string& bytes) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                              nullptr) && written == bytes.size();
  ::CloseHandle(file);
  return ok;
}

std::string ReadAll(HANDLE file) {
  std::string bytes;
  ::SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
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

SyntaxResult Win32ScriptHost::Check(const std::wstring& wrappedScript) {
  const std::wstring script = TempName(L".js");
  if (script.empty() || !WriteAll(script, EncodeUtf16WithBom(wrappedScript))) {
    return {SyntaxResult::kNotRun, 0, "cannot write a temporary script"};
  }
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  const std::wstring outputPath = TempName(L".txt");
  HANDLE output = ::CreateFileW(outputPath.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  SyntaxResult result{SyntaxResult::kNotRun, 0, "cannot start cscript.exe"};
  if (output != INVALID_HANDLE_VALUE) {
    std::wstring commandLine = L"cscript.exe //Nologo //E:JScript \"" + script + L"\"";
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');
    STARTUPINFOW start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = nullptr;
    start.hStdOutput = output;
    start.hStdError = output;
    PROCESS_INFORMATION process = {};
    if (::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                         nullptr, nullptr, &start, &process)) {
      DWORD code = 1;
      if (::WaitForSingleObject(process.hProcess, kHostTimeout) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.hProcess, 1);
        result = {SyntaxResult::kNotRun, 0, "the script host did not end"};
      } else if (::GetExitCodeProcess(process.hProcess, &code) && code == 0) {
        result = {SyntaxResult::kClean, 0, std::string()};
      } else {
        const std::string text = ReadAll(output);
        if (const auto error = ParseHostError(text)) {
          result = {SyntaxResult::kError, error->first, error->second};
        } else {
          result = {SyntaxResult::kError, 0, text.substr(0, text.find_first_of("\r\n"))};
        }
      }
      ::CloseHandle(process.hThread);
      ::CloseHandle(process.hProcess);
    }
    ::CloseHandle(output);
  }
  ::DeleteFileW(script.c_str());
  return result;
}

}  // namespace qz::check
