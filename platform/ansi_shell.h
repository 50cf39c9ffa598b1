// Narrow shell execution and libraries loaded by a narrow path.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "platform/types.h"

namespace qz::port {

inline constexpr int kSwShowNormal = 1;

class AnsiShell {
 public:
  virtual ~AnsiShell() = default;
  // ShellExecuteA without owner and working directory; its result as an
  // integer (above 32 on success).
  virtual std::intptr_t ShellExecuteA(const std::string& verb, const std::string& file,
                                      const std::string& parameters, int showCommand) = 0;
  // LoadLibraryA; 0 when it cannot be loaded. Never unloaded.
  virtual Handle LoadLibraryA(const std::string& path) = 0;
  // GetProcAddress of an export taking nothing and returning a 32-bit
  // int, as a callable; empty when the module has no such export.
  virtual std::function<int()> GetProcAddress(Handle module, const std::string& name) = 0;
};

}  // namespace qz::port
