// The fake loaded libraries.
#include <iterator>

#include "platform/fake/fake_platform.h"

namespace qz::fake {

namespace {
constexpr std::uintptr_t kFirstNarrow = 0x700;
}  // namespace

port::Result<port::ModuleHandle> FakeModules::LoadLibraryW(const std::wstring& path) {
  using Loaded = port::Result<port::ModuleHandle>;
  loaded.push_back(path);
  if (!modules.count(Fold(path))) return Loaded::Failed(126);  // ERROR_MOD_NOT_FOUND
  const port::ModuleHandle h{next_++};
  open_[h] = Fold(path);
  return Loaded::Ok(h);
}

port::Status FakeModules::GetProcAddress(port::ModuleHandle module, const std::string& name) {
  auto it = open_.find(module);
  if (it == open_.end()) return port::Status::Failed(port::kErrorInvalidHandle);
  const bool exported = modules[it->second].exports.count(name) != 0;
  return exported ? port::Status::Ok() : port::Status::Failed(port::kErrorProcNotFound);
}

port::Result<bool> FakeModules::IsWow64Process(port::ModuleHandle kernel32) {
  using Answer = port::Result<bool>;
  auto it = open_.find(kernel32);
  if (it == open_.end()) return Answer::Failed(port::kErrorInvalidHandle);
  const Module& m = modules[it->second];
  if (!m.exports.count("IsWow64Process")) return Answer::Failed(port::kErrorProcNotFound);
  return Answer::Ok(m.wow64.value_or(false));
}

port::Result<HRESULT> FakeModules::DllRegisterServer(port::ModuleHandle module) {
  using Answer = port::Result<HRESULT>;
  auto it = open_.find(module);
  if (it == open_.end()) return Answer::Failed(port::kErrorInvalidHandle);
  Module& m = modules[it->second];
  if (!m.exports.count("DllRegisterServer")) return Answer::Failed(port::kErrorProcNotFound);
  if (m.onRegister) m.onRegister();
  return Answer::Ok(m.registerResult.value_or(port::kSOk));
}

port::Status FakeModules::FreeLibrary(port::ModuleHandle module) {
  return open_.erase(module) ? port::Status::Ok() : port::Status::Failed(port::kErrorInvalidHandle);
}

port::Result<std::wstring> FakeModules::GetModuleFileNameW() {
  if (!programPath) return port::Result<std::wstring>::Failed(port::kErrorInsufficientBuffer);
  return port::Result<std::wstring>::Ok(*programPath);
}

port::Result<std::string> FakeModules::GetModuleFileNameA() {
  if (!programPath) return port::Result<std::string>::Failed(port::kErrorInsufficientBuffer);
  return port::Result<std::string>::Ok(Narrow(*programPath));
}

port::Result<port::ModuleHandle> FakeModules::LoadLibraryA(const std::string& path) {
  using Loaded = port::Result<port::ModuleHandle>;
  loadedA.push_back(path);
  const auto it = librariesA.find(path);
  if (it == librariesA.end()) return Loaded::Failed(126);  // ERROR_MOD_NOT_FOUND
  return Loaded::Ok(
      {kFirstNarrow + static_cast<std::uintptr_t>(std::distance(librariesA.begin(), it))});
}

port::Result<int> FakeModules::IsCurrentUserLocalAdministrator(port::ModuleHandle module) {
  auto it = librariesA.begin();
  std::advance(it, static_cast<long>(module.value - kFirstNarrow));
  const auto proc = it->second.find("IsCurrentUserLocalAdministrator");
  if (proc == it->second.end()) return port::Result<int>::Failed(port::kErrorProcNotFound);
  return port::Result<int>::Ok(proc->second);
}

}  // namespace qz::fake
