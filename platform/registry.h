// The registry, HKEY_LOCAL_MACHINE only, read only.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/types.h"

namespace qz::port {

class Registry {
 public:
  virtual ~Registry() = default;
  // RegOpenKeyExW under HKEY_LOCAL_MACHINE; returns the LSTATUS and sets
  // `key` on success.
  virtual LONG RegOpenKeyExW(const std::wstring& subKey, DWORD access, Handle& key) = 0;
  // RegQueryValueExW with a buffer of `bufferBytes`. On success `data`
  // holds the stored bytes (exactly as stored: a string value may lack its
  // terminator) and `type` the value type. When the value is larger than
  // the buffer the result is ERROR_MORE_DATA and `requiredBytes` is set.
  virtual LONG RegQueryValueExW(Handle key, const std::wstring& valueName, DWORD bufferBytes,
                                DWORD& type, std::vector<std::uint8_t>& data,
                                DWORD& requiredBytes) = 0;
  virtual LONG RegCloseKey(Handle key) = 0;
};

using UniqueKey = UniqueHandle<Registry, &Registry::RegCloseKey>;

}  // namespace qz::port
