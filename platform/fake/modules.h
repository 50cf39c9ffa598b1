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

  port::Result<Handle> LoadLibraryW(const std::wstring& path) override;
  bool GetProcAddress(Handle module, const std::string& name) override;
  std::optional<bool> IsWow64Process(Handle kernel32) override;
  std::optional<HRESULT> DllRegisterServer(Handle module) override;
  bool FreeLibrary(Handle module) override;
  std::optional<std::wstring> programPath = L"C:\\patch\\QZVRN.exe";
  std::optional<std::wstring> GetModuleFileNameW() override { return programPath; }
  std::string GetModuleFileNameA() override { return programPath ? Narrow(*programPath) : ""; }
  // Narrow libraries by path, with their int exports' answers; never
  // unloaded.
  std::map<std::string, std::map<std::string, int>> librariesA;
  std::vector<std::string> loadedA;
  port::Result<Handle> LoadLibraryA(const std::string& path) override;
  std::optional<int> IsCurrentUserLocalAdministrator(Handle module) override;

 private:
  std::map<Handle, std::wstring> open_;
  Handle next_ = 0x400;
};

}  // namespace qz::fake
