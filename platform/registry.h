// The registry, HKEY_LOCAL_MACHINE only, read only.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/types.h"

namespace qz::port {

// What RegQueryValueExW read: the value type and the stored bytes (exactly
// as stored: a string value may lack its terminator). When the value is
// larger than the buffer the call fails with kErrorMoreData and
// `requiredBytes` is its size.
struct RegistryValue {
  DWORD type = 0;
  std::vector<std::uint8_t> data;
  DWORD requiredBytes = 0;
};

// The status of each call is the LSTATUS itself.
class Registry {
 public:
  virtual ~Registry() = default;
  // RegOpenKeyExW under HKEY_LOCAL_MACHINE.
  virtual Result<KeyHandle> RegOpenKeyExW(const std::wstring& subKey, DWORD access) = 0;
  // RegQueryValueExW with a buffer of `bufferBytes`.
  virtual Result<RegistryValue> RegQueryValueExW(KeyHandle key, const std::wstring& valueName,
                                                 DWORD bufferBytes) = 0;
  virtual Status RegCloseKey(KeyHandle key) = 0;
};

using UniqueKey = UniqueHandle<Registry, &Registry::RegCloseKey>;

}  // namespace qz::port
