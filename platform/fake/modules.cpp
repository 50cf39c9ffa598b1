// The fake loaded libraries.
#include <iterator>

#include "platform/fake/fake_platform.h"

namespace qz::fake {

port::Result<Handle> FakeModules::LoadLibraryW(const std::wstring& path) {
  loaded.push_back(path);
  if (!modules.count(Fold(path))) return port::Result<Handle>::Failed(126);  // ERROR_MOD_NOT_FOUND
  const Handle h = next_++;
  open_[h] = Fold(path);
  return port::Result<Handle>::Ok(h);
}

bool FakeModules::GetProcAddress(Handle module, const std::string& name) {
  auto it = open_.find(module);
  return it != open_.end() && modules[it->second].exports.count(name) != 0;
}

std::optional<bool> FakeModules::IsWow64Process(Handle kernel32) {
  auto it = open_.find(kernel32);
  if (it == open_.end()) return std::nullopt;
  const Module& m = modules[it->second];
  if (!m.exports.count("IsWow64Process")) return std::nullopt;
  return m.wow64.value_or(false);
}

std::optional<HRESULT> FakeModules::DllRegisterServer(Handle module) {
  auto it = open_.find(module);
  if (it == open_.end()) return std::nullopt;
  Module& m = modules[it->second];
  if (!m.exports.count("DllRegisterServer")) return std::nullopt;
  if (m.onRegister) m.onRegister();
  return m.registerResult.value_or(port::kSOk);
}

bool FakeModules::FreeLibrary(Handle module) { return open_.erase(module) != 0; }

port::Result<Handle> FakeModules::LoadLibraryA(const std::string& path) {
  loadedA.push_back(path);
  const auto it = librariesA.find(path);
  if (it == librariesA.end()) return port::Result<Handle>::Failed(126);  // ERROR_MOD_NOT_FOUND
  return port::Result<Handle>::Ok(0x700 +
                                  static_cast<Handle>(std::distance(librariesA.begin(), it)));
}

std::optional<int> FakeModules::IsCurrentUserLocalAdministrator(Handle module) {
  auto it = librariesA.begin();
  std::advance(it, static_cast<long>(module - 0x700));
  const auto proc = it->second.find("IsCurrentUserLocalAdministrator");
  if (proc == it->second.end()) return std::nullopt;
  return proc->second;
}

}  // namespace qz::fake
