// The library search over kernel32, its newer calls found at run time so
// that the programs still load on Windows 2000.
#include <windows.h>

#include <string>

#include "platform/win32/library_loading.h"
#include "platform/win32/win32_platform.h"

namespace qz::win32 {

namespace {

// Not in every SDK's headers: the values are fixed by the system.
constexpr DWORD kSearchDllLoadDir = 0x00000100;
constexpr DWORD kSearchDefaultDirs = 0x00001000;

FARPROC Kernel32Function(const char* name) {
  return ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), name);
}

template <typename Function>
Function Kernel32FunctionAs(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(Kernel32Function(name)));
}

// The LOAD_LIBRARY_SEARCH_* flags came with AddDllDirectory (Windows 8,
// and Windows 7 and Vista with the update that brought both).
bool SearchFlagsKnown() { return Kernel32Function("AddDllDirectory") != nullptr; }

bool IsFullPath(const wchar_t* path) {
  return path[0] != L'\0' && ((path[1] == L':' && (path[2] == L'\\' || path[2] == L'/')) ||
                              (path[0] == L'\\' && path[1] == L'\\'));
}

port::Status Outcome(BOOL done) {
  return done ? port::Status::Ok() : port::Status::Failed(::GetLastError());
}

class Win32LibrarySearch : public port::LibrarySearch {
 public:
  port::Status SetDefaultDllDirectories(port::DWORD directoryFlags) override {
    using Fn = BOOL(WINAPI*)(DWORD);
    const auto set = Kernel32FunctionAs<Fn>("SetDefaultDllDirectories");
    if (set == nullptr) return port::Status::Failed(ERROR_PROC_NOT_FOUND);
    return Outcome(set(directoryFlags));
  }

  port::Status SetDllDirectoryW(const std::wstring& path) override {
    using Fn = BOOL(WINAPI*)(LPCWSTR);
    const auto set = Kernel32FunctionAs<Fn>("SetDllDirectoryW");
    if (set == nullptr) return port::Status::Failed(ERROR_PROC_NOT_FOUND);
    return Outcome(set(path.c_str()));
  }
};

}  // namespace

HMODULE LoadLibraryBesideItself(const wchar_t* path) {
  if (!IsFullPath(path)) return ::LoadLibraryW(path);
  const DWORD flags =
      SearchFlagsKnown() ? kSearchDllLoadDir | kSearchDefaultDirs : LOAD_WITH_ALTERED_SEARCH_PATH;
  return ::LoadLibraryExW(path, nullptr, flags);
}

HMODULE LoadLibraryBesideItselfA(const char* path) {
  // The ANSI path as the system reads it, then the wide call's rules.
  const int chars = ::MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
  if (chars <= 0) return nullptr;
  std::wstring wide(static_cast<std::size_t>(chars), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, path, -1, &wide[0], chars);
  return LoadLibraryBesideItself(wide.c_str());
}

FARPROC SystemFunction(const wchar_t* library, const char* name) {
  wchar_t folder[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  std::wstring path(folder, length);
  path += L"\\";
  path += library;
  // Loaded for good: the programs call into it until they end.
  const HMODULE module = ::LoadLibraryW(path.c_str());
  return module != nullptr ? ::GetProcAddress(module, name) : nullptr;
}

std::unique_ptr<port::LibrarySearch> MakeLibrarySearch() {
  return std::make_unique<Win32LibrarySearch>();
}

}  // namespace qz::win32
