// Loaded libraries over kernel32. IsWow64Process and DllRegisterServer
// are found with GetProcAddress at run time: the first is missing on
// Windows 2000, which must still load the program.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/library_loading.h"
#include "platform/win32/win32_platform.h"

namespace qz::win32 {

namespace {

HMODULE ToModule(port::ModuleHandle h) { return reinterpret_cast<HMODULE>(h.value); }

// GetProcAddress, its error taken right after it. An empty handle is
// refused: the call would search the program itself.
port::Result<FARPROC> Export(port::ModuleHandle module, const char* name) {
  if (!module) return port::Result<FARPROC>::Failed(ERROR_INVALID_HANDLE);
  const FARPROC proc = ::GetProcAddress(ToModule(module), name);
  if (proc == nullptr) return port::Result<FARPROC>::Failed(::GetLastError());
  return port::Result<FARPROC>::Ok(proc);
}

// GetProcAddress answers a generic function pointer; the detour through
// void* states that the real type is known to us, not to the compiler.
template <typename Function>
Function As(FARPROC proc) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(proc));
}

port::Result<port::ModuleHandle> Loaded(HMODULE module) {
  if (module == nullptr) return port::Result<port::ModuleHandle>::Failed(::GetLastError());
  return port::Result<port::ModuleHandle>::Ok({reinterpret_cast<std::uintptr_t>(module)});
}

// The call cuts a long path without saying so unless the buffer had room
// to spare: grown until it does.
template <typename Char, typename Call>
port::Result<std::basic_string<Char>> OwnPath(DWORD firstSize, DWORD lastSize, Call call) {
  using Path = port::Result<std::basic_string<Char>>;
  for (DWORD size = firstSize; size <= lastSize; size *= 2) {
    std::vector<Char> buffer(size, Char{});
    const DWORD length = call(buffer.data(), size);
    if (length == 0) return Path::Failed(::GetLastError());
    if (length < size - 1) return Path::Ok(std::basic_string<Char>(buffer.data(), length));
  }
  return Path::Failed(ERROR_INSUFFICIENT_BUFFER);
}

class Win32Modules : public port::Modules {
 public:
  port::Result<port::ModuleHandle> LoadLibraryW(const std::wstring& path) override {
    return Loaded(LoadLibraryBesideItself(path.c_str()));
  }

  port::Status GetProcAddress(port::ModuleHandle module, const std::string& name) override {
    return Export(module, name.c_str()).status;
  }

  port::Result<bool> IsWow64Process(port::ModuleHandle kernel32) override {
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    const port::Result<FARPROC> found = Export(kernel32, "IsWow64Process");
    if (!found) return port::Result<bool>::Failed(found.status.error);
    BOOL wow64 = FALSE;
    if (!As<IsWow64ProcessFn>(found.value)(::GetCurrentProcess(), &wow64)) {
      return port::Result<bool>::Failed(::GetLastError());
    }
    return port::Result<bool>::Ok(wow64 != FALSE);
  }

  port::Result<port::HRESULT> DllRegisterServer(port::ModuleHandle module) override {
    using DllRegisterServerFn = HRESULT(STDAPICALLTYPE*)();
    const port::Result<FARPROC> found = Export(module, "DllRegisterServer");
    if (!found) return port::Result<port::HRESULT>::Failed(found.status.error);
    return port::Result<port::HRESULT>::Ok(As<DllRegisterServerFn>(found.value)());
  }

  port::Status FreeLibrary(port::ModuleHandle module) override {
    if (!::FreeLibrary(ToModule(module))) return port::Status::Failed(::GetLastError());
    return port::Status::Ok();
  }

  port::Result<std::wstring> GetModuleFileNameW() override {
    return OwnPath<wchar_t>(MAX_PATH, 32768, [](wchar_t* buffer, DWORD size) {
      return ::GetModuleFileNameW(nullptr, buffer, size);
    });
  }

  port::Result<std::string> GetModuleFileNameA() override {
    return OwnPath<char>(1024, 65536, [](char* buffer, DWORD size) {
      return ::GetModuleFileNameA(nullptr, buffer, size);
    });
  }

  port::Result<port::ModuleHandle> LoadLibraryA(const std::string& path) override {
    return Loaded(LoadLibraryBesideItselfA(path.c_str()));
  }

  port::Result<int> IsCurrentUserLocalAdministrator(port::ModuleHandle module) override {
    using IntProc = int(WINAPI*)();
    const port::Result<FARPROC> found = Export(module, "IsCurrentUserLocalAdministrator");
    if (!found) return port::Result<int>::Failed(found.status.error);
    return port::Result<int>::Ok(As<IntProc>(found.value)());
  }
};

}  // namespace

std::unique_ptr<port::Modules> MakeModules() { return std::make_unique<Win32Modules>(); }

}  // namespace qz::win32
