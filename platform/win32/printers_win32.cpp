// The spooler's printer-driver directory over winspool.
#include <windows.h>
#include <winspool.h>

#include <vector>

#include "platform/win32/driver_patch_adapters.h"
#include "platform/win32/library_loading.h"

namespace qz::win32 {

namespace {

class Win32Printers : public port::Printers {
 public:
  port::Result<std::string> GetPrinterDriverDirectoryA(port::DWORD bufferBytes) override {
    using Read = port::Result<std::string>;
    // winspool.drv is taken from the system folder, not by name.
    static const auto query = SystemFunctionAs<decltype(&::GetPrinterDriverDirectoryA)>(
        L"winspool.drv", "GetPrinterDriverDirectoryA");
    if (query == nullptr) return Read::Failed(ERROR_PROC_NOT_FOUND);
    std::vector<BYTE> buffer(bufferBytes + 1, 0);
    DWORD needed = 0;
    if (!query(nullptr, nullptr, 1, buffer.data(), bufferBytes, &needed)) {
      return Read::Failed(::GetLastError());
    }
    return Read::Ok(std::string(reinterpret_cast<const char*>(buffer.data())));
  }
};

}  // namespace

std::unique_ptr<port::Printers> MakePrinters() { return std::make_unique<Win32Printers>(); }

}  // namespace qz::win32
