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

LONG FakeRegistry::RegOpenKeyExW(const std::wstring& subKey, DWORD, Handle& key) {
  if (!keys.count(Fold(subKey))) return port::kErrorFileNotFound;
  key = next_++;
  open_[key] = Fold(subKey);
  return port::kErrorSuccess;
}

LONG FakeRegistry::RegQueryValueExW(Handle key, const std::wstring& valueName, DWORD bufferBytes,
                                    DWORD& type, std::vector<std::uint8_t>& data,
                                    DWORD& requiredBytes) {
  auto k = open_.find(key);
  if (k == open_.end()) return 6;  // ERROR_INVALID_HANDLE
  const auto& values = keys[k->second];
  auto v = values.find(Fold(valueName));
  if (v == values.end()) return port::kErrorFileNotFound;
  requiredBytes = static_cast<DWORD>(v->second.data.size());
  type = v->second.type;
  if (v->second.data.size() > bufferBytes) return port::kErrorMoreData;
  data = v->second.data;
  return port::kErrorSuccess;
}

LONG FakeRegistry::RegCloseKey(Handle key) { return open_.erase(key) ? port::kErrorSuccess : 6; }

}  // namespace qz::fake
