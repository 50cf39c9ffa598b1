// Loaded libraries over kernel32. IsWow64Process and DllRegisterServer
// are found with GetProcAddress at run time: the first is missing on
// Windows 2000, which must still load the program.
#include <windows.h>

#include <vector>

#include "platform/win32/library_loading.h"
#include "platform/win32/win32_platform.h"

namespace qz::win32 {

namespace {

HMODULE ToModule(port::Handle h) { return reinterpret_cast<HMODULE>(h); }

// GetProcAddress answers a generic function pointer; the detour through
// void* states that the real type is known to us, not to the compiler.
template <typename Function>
Function Lookup(port::Handle module, const char* name) {
  if (module == 0) return nullptr;
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(::GetProcAddress(ToModule(module), name)));
}

port::Result<port::Handle> Loaded(HMODULE module) {
  if (module == nullptr) return port::Result<port::Handle>::Failed(::GetLastError());
  return port::Result<port::Handle>::Ok(reinterpret_cast<port::Handle>(module));
}

class Win32Modules : public port::Modules {
 public:
  port::Result<port::Handle> LoadLibraryW(const std::wstring& path) override {
    return Loaded(LoadLibraryBesideItself(path.c_str()));
  }

  bool GetProcAddress(port::Handle module, const std::string& name) override {
    return Lookup<void (*)()>(module, name.c_str()) != nullptr;
  }

  std::optional<bool> IsWow64Process(port::Handle kernel32) override {
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto isWow64 = Lookup<IsWow64ProcessFn>(kernel32, "IsWow64Process");
    if (isWow64 == nullptr) return std::nullopt;
    BOOL wow64 = FALSE;
    if (!isWow64(::GetCurrentProcess(), &wow64)) return false;
    return wow64 != FALSE;
  }

  std::optional<port::HRESULT> DllRegisterServer(port::Handle module) override {
    using DllRegisterServerFn = HRESULT(STDAPICALLTYPE*)();
    const auto registerServer = Lookup<DllRegisterServerFn>(module, "DllRegisterServer");
    if (registerServer == nullptr) return std::nullopt;
    return registerServer();
  }

  bool FreeLibrary(port::Handle module) override {
    return ::FreeLibrary(ToModule(module)) != FALSE;
  }

  std::optional<std::wstring> GetModuleFileNameW() override {
    // The call cuts a long path without saying so unless the buffer had
    // room to spare: grow until it does.
    for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
      std::wstring path(size, L'\0');
      const DWORD length = ::GetModuleFileNameW(nullptr, &path[0], size);
      if (length == 0) return std::nullopt;
      if (length < size - 1) {
        path.resize(length);
        return path;
      }
    }
    return std::nullopt;
  }

  std::string GetModuleFileNameA() override {
    // Grown until the path fits, so a deep folder is not cut.
    for (DWORD size = 1024; size <= 65536; size *= 2) {
      std::vector<char> buffer(size, '\0');
      const DWORD length = ::GetModuleFileNameA(nullptr, buffer.data(), size);
      if (length == 0) return std::string();
      if (length < size - 1) return std::string(buffer.data(), length);
    }
    return std::string();
  }

  port::Result<port::Handle> LoadLibraryA(const std::string& path) override {
    return Loaded(LoadLibraryBesideItselfA(path.c_str()));
  }

  std::optional<int> IsCurrentUserLocalAdministrator(port::Handle module) override {
    using IntProc = int(WINAPI*)();
    // The detour through void* states that the real type is known to us.
    const auto proc = reinterpret_cast<IntProc>(reinterpret_cast<void*>(
        ::GetProcAddress(reinterpret_cast<HMODULE>(module), "IsCurrentUserLocalAdministrator")));
    if (proc == nullptr) return std::nullopt;
    return proc();
  }
};

}  // namespace

std::unique_ptr<port::Modules> MakeModules() { return std::make_unique<Win32Modules>(); }

}  // namespace qz::win32
