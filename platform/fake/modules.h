// FakeModules: the Modules port (platform/modules.h) in memory, for the native unit tests.
#pragma once
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/fake/fold.h"
#include "platform/modules.h"

namespace qz::fake {

class FakeModules : public port::Modules {
 public:
  struct Module {
    std::set<std::string> exports;
    std::optional<bool> wow64;              // IsWow64Process's answer
    std::optional<HRESULT> registerResult;  // DllRegisterServer's result
    std::function<void()> onRegister;
  };
  std::map<std::wstring, Module> modules;  // by folded path or name
  std::vector<std::wstring> loaded;
  std::size_t LoadedNow() const { return open_.size(); }

  port::Result<port::ModuleHandle> LoadLibraryW(const std::wstring& path) override;
  port::Status GetProcAddress(port::ModuleHandle module, const std::string& name) override;
  port::Result<bool> IsWow64Process(port::ModuleHandle kernel32) override;
  port::Result<HRESULT> DllRegisterServer(port::ModuleHandle module) override;
  port::Status FreeLibrary(port::ModuleHandle module) override;
  std::optional<std::wstring> programPath = L"C:\\patch\\QZVRN.exe";  // none: the call fails
  port::Result<std::wstring> GetModuleFileNameW() override;
  port::Result<std::string> GetModuleFileNameA() override;
  // Narrow libraries by path, with their int exports' answers; never
  // unloaded.
  std::map<std::string, std::map<std::string, int>> librariesA;
  std::vector<std::string> loadedA;
  port::Result<port::ModuleHandle> LoadLibraryA(const std::string& path) override;
  port::Result<int> IsCurrentUserLocalAdministrator(port::ModuleHandle module) override;

 private:
  std::map<port::ModuleHandle, std::wstring> open_;
  std::uintptr_t next_ = 0x400;
};

}  // namespace qz::fake
