// The print spooler, as far as the driver patch needs it.
#pragma once
#include <string>

#include "platform/types.h"

namespace qz::port {

class Printers {
 public:
  virtual ~Printers() = default;
  // GetPrinterDriverDirectoryA for the local machine and the current
  // environment, level 1, into `bufferBytes`.
  virtual Result<std::string> GetPrinterDriverDirectoryA(DWORD bufferBytes) = 0;
};

}  // namespace qz::port
