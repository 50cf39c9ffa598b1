// The COM runtime over ole32: apartment, ProgID lookup and a creation
// probe whose instance is released at once.
#include <windows.h>
#include <objbase.h>

#include <cstring>

#include "platform/win32/unique_handles.h"
#include "platform/win32/win32_platform.h"

namespace qz::win32 {

namespace {

static_assert(sizeof(CLSID) == sizeof(port::Clsid), "a CLSID is 16 bytes");

class Win32Com : public port::Com {
 public:
  port::HRESULT CoInitialize() override { return ::CoInitialize(nullptr); }

  void CoUninitialize() override { ::CoUninitialize(); }

  port::ComResult<port::Clsid> CLSIDFromProgID(const std::wstring& progId) override {
    CLSID found{};
    port::ComResult<port::Clsid> result;
    result.hr = ::CLSIDFromProgID(progId.c_str(), &found);
    if (SUCCEEDED(result.hr)) std::memcpy(result.value.data(), &found, sizeof found);
    return result;
  }

  port::HRESULT CoCreateInstance(const port::Clsid& clsid) override {
    CLSID id;
    std::memcpy(&id, clsid.data(), sizeof id);
    ComPtr<IUnknown> instance;
    return ::CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                              reinterpret_cast<void**>(instance.Put()));
  }
};

}  // namespace

std::unique_ptr<port::Com> MakeCom() { return std::make_unique<Win32Com>(); }

}  // namespace qz::win32
