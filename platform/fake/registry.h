// FakeRegistry: the Registry port (platform/registry.h) in memory, for the native unit tests.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/fake/fold.h"
#include "platform/registry.h"

namespace qz::fake {

class FakeRegistry : public port::Registry {
 public:
  struct Value {
    DWORD type = port::kRegSz;
    std::vector<std::uint8_t> data;
  };
  // A string value stored with its terminator (as RegSetValueExW does),
  // or without it when `terminate` is false.
  void SetString(const std::wstring& key, const std::wstring& name, const std::wstring& value,
                 bool terminate = true);
  void SetValue(const std::wstring& key, const std::wstring& name, Value value);
  void AddKey(const std::wstring& key);
  std::size_t OpenKeys() const { return open_.size(); }

  port::Result<port::KeyHandle> RegOpenKeyExW(const std::wstring& subKey, DWORD access) override;
  port::Result<port::RegistryValue> RegQueryValueExW(port::KeyHandle key,
                                                     const std::wstring& valueName,
                                                     DWORD bufferBytes) override;
  port::Status RegCloseKey(port::KeyHandle key) override;

  std::map<std::wstring, std::map<std::wstring, Value>> keys;  // folded

 private:
  std::map<port::KeyHandle, std::wstring> open_;
  std::uintptr_t next_ = 0x200;
};

}  // namespace qz::fake
