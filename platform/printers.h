// The print spooler, as far as the driver patch needs it.
#pragma once
#include <optional>
#include <string>

#include "platform/types.h"

namespace qz::port {

class Printers {
 public:
  virtual ~Printers() = default;
  // GetPrinterDriverDirectoryA for the local machine and the current
  // environment, level 1, into `bufferBytes`; nullopt when it fails.
  virtual std::optional<std::string> GetPrinterDriverDirectoryA(DWORD bufferBytes) = 0;
};

}  // namespace qz::port
