// Loaded libraries: the kernel32 probes and in-process self-registration.
#pragma once
#include <string>

#include "platform/handles.h"
#include "platform/types.h"

namespace qz::port {

// A call into a module's export fails with GetProcAddress's code
// (kErrorProcNotFound) when the export is missing; what the export
// answers is the value of a success, a failed HRESULT included.
class Modules {
 public:
  virtual ~Modules() = default;
  // LoadLibraryW, its dependencies looked for beside it.
  virtual Result<ModuleHandle> LoadLibraryW(const std::wstring& path) = 0;
  // Whether the module exports `name` (looked up, never called).
  virtual Status GetProcAddress(ModuleHandle module, const std::string& name) = 0;
  // Calls the module's IsWow64Process for the current process; fails also
  // when that call fails.
  virtual Result<bool> IsWow64Process(ModuleHandle kernel32) = 0;
  // Calls the module's DllRegisterServer.
  virtual Result<HRESULT> DllRegisterServer(ModuleHandle module) = 0;
  virtual Status FreeLibrary(ModuleHandle module) = 0;
  // GetModuleFileNameW of the program itself, whatever its length.
  virtual Result<std::wstring> GetModuleFileNameW() = 0;
  // The same narrow.
  virtual Result<std::string> GetModuleFileNameA() = 0;
  // The same with a narrow path.
  virtual Result<ModuleHandle> LoadLibraryA(const std::string& path) = 0;
  // Calls the module's IsCurrentUserLocalAdministrator (no arguments, an
  // int back).
  virtual Result<int> IsCurrentUserLocalAdministrator(ModuleHandle module) = 0;
};

using UniqueModule = UniqueHandle<Modules, &Modules::FreeLibrary>;

}  // namespace qz::port
