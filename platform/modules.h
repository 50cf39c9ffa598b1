// Loaded libraries: the kernel32 probes and in-process self-registration.
#pragma once
#include <optional>
#include <string>

#include "platform/handles.h"
#include "platform/types.h"

namespace qz::port {

class Modules {
 public:
  virtual ~Modules() = default;
  // LoadLibraryW, its dependencies looked for beside it.
  virtual Result<Handle> LoadLibraryW(const std::wstring& path) = 0;
  // Whether the module exports `name` (looked up, never called).
  virtual bool GetProcAddress(Handle module, const std::string& name) = 0;
  // Calls the module's IsWow64Process for the current process; nullopt
  // when the export is missing, false also when the call fails.
  virtual std::optional<bool> IsWow64Process(Handle kernel32) = 0;
  // Calls the module's DllRegisterServer; nullopt when it has none.
  virtual std::optional<HRESULT> DllRegisterServer(Handle module) = 0;
  virtual bool FreeLibrary(Handle module) = 0;
  // GetModuleFileNameW of the program itself, whatever its length.
  virtual std::optional<std::wstring> GetModuleFileNameW() = 0;
  // The same narrow; empty on failure.
  virtual std::string GetModuleFileNameA() = 0;
  // The same with a narrow path.
  virtual Result<Handle> LoadLibraryA(const std::string& path) = 0;
  // Calls the module's IsCurrentUserLocalAdministrator (no arguments, an
  // int back); nullopt when it has no such export.
  virtual std::optional<int> IsCurrentUserLocalAdministrator(Handle module) = 0;
};

using UniqueModule = UniqueHandle<Modules, &Modules::FreeLibrary>;

}  // namespace qz::port
