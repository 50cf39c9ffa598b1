// The debugger's output over kernel32.
#include <windows.h>

#include "platform/win32/driver_patch_adapters.h"

namespace qz::win32 {

namespace {

class Win32DebugOutput : public port::DebugOutput {
 public:
  void OutputDebugStringA(const std::string& text) override { ::OutputDebugStringA(text.c_str()); }
};

}  // namespace

std::unique_ptr<port::DebugOutput> MakeDebugOutput() {
  return std::make_unique<Win32DebugOutput>();
}

}  // namespace qz::win32
