// The spooler's printer-driver directory over winspool.
#include <windows.h>
#include <winspool.h>

#include <vector>

#include "platform/win32/driver_patch_adapters.h"

namespace qz::win32 {

namespace {

class Win32Printers : public port::Printers {
 public:
  std::optional<std::string> GetPrinterDriverDirectoryA(port::DWORD bufferBytes) override {
    std::vector<BYTE> buffer(bufferBytes + 1, 0);
    DWORD needed = 0;
    if (!::GetPrinterDriverDirectoryA(nullptr, nullptr, 1, buffer.data(), bufferBytes,
                                      &needed)) {
      return std::nullopt;
    }
    return std::string(reinterpret_cast<const char*>(buffer.data()));
  }
};

}  // namespace

std::unique_ptr<port::Printers> MakePrinters() {
  return std::make_unique<Win32Printers>();
}

}  // namespace qz::win32
