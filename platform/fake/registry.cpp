// The fake registry: folded keys and values.
#include "platform/fake/fake_platform.h"

namespace qz::fake {

void FakeRegistry::AddKey(const std::wstring& key) { keys[Fold(key)]; }

void FakeRegistry::SetValue(const std::wstring& key, const std::wstring& name, Value value) {
  keys[Fold(key)][Fold(name)] = std::move(value);
}

void FakeRegistry::SetString(const std::wstring& key, const std::wstring& name,
                             const std::wstring& value, bool terminate) {
  Value v;
  v.type = port::kRegSz;
  for (wchar_t ch : value) {
    v.data.push_back(static_cast<std::uint8_t>(ch & 0xFF));
    v.data.push_back(static_cast<std::uint8_t>((ch >> 8) & 0xFF));
  }
  if (terminate) {
    v.data.push_back(0);
    v.data.push_back(0);
  }
  SetValue(key, name, std::move(v));
}

port::Result<port::KeyHandle> FakeRegistry::RegOpenKeyExW(const std::wstring& subKey, DWORD) {
  using Opened = port::Result<port::KeyHandle>;
  if (!keys.count(Fold(subKey))) return Opened::Failed(port::kErrorFileNotFound);
  const port::KeyHandle key{next_++};
  open_[key] = Fold(subKey);
  return Opened::Ok(key);
}

port::Result<port::RegistryValue> FakeRegistry::RegQueryValueExW(port::KeyHandle key,
                                                                 const std::wstring& valueName,
                                                                 DWORD bufferBytes) {
  using Read = port::Result<port::RegistryValue>;
  auto k = open_.find(key);
  if (k == open_.end()) return Read::Failed(port::kErrorInvalidHandle);
  const auto& values = keys[k->second];
  auto v = values.find(Fold(valueName));
  if (v == values.end()) return Read::Failed(port::kErrorFileNotFound);
  port::RegistryValue read;
  read.requiredBytes = static_cast<DWORD>(v->second.data.size());
  read.type = v->second.type;
  if (v->second.data.size() > bufferBytes) return Read::Failed(port::kErrorMoreData, read);
  read.data = v->second.data;
  return Read::Ok(std::move(read));
}

port::Status FakeRegistry::RegCloseKey(port::KeyHandle key) {
  return open_.erase(key) ? port::Status::Ok() : port::Status::Failed(port::kErrorInvalidHandle);
}

}  // namespace qz::fake
