// The COM runtime, as far as the product uses it outside the XML reader.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "platform/types.h"

namespace qz::port {

using Clsid = std::array<std::uint8_t, 16>;

// What a COM call made, and its HRESULT, COM's own status: `value` is
// meaningful only when `hr` reports success.
template <typename T>
struct ComResult {
  T value{};
  HRESULT hr = kSOk;
  explicit operator bool() const { return hr >= 0; }
};

class Com {
 public:
  virtual ~Com() = default;
  // CoInitialize(NULL): a single-threaded apartment.
  virtual HRESULT CoInitialize() = 0;
  virtual void CoUninitialize() = 0;
  virtual ComResult<Clsid> CLSIDFromProgID(const std::wstring& progId) = 0;
  // CoCreateInstance in-process for IUnknown; the instance is released at
  // once, only the outcome is reported.
  virtual HRESULT CoCreateInstance(const Clsid& clsid) = 0;
};

}  // namespace qz::port
