// The shell's program starter.
#pragma once
#include <cstdint>
#include <string>

#include "platform/types.h"

namespace qz::port {

inline constexpr int kSwHide = 0;
inline constexpr int kSwShowNormal = 1;

class Shell {
 public:
  virtual ~Shell() = default;
  // ShellExecuteW; an empty `directory` is passed as NULL. Returns the
  // instance value: above 32 when the program was started. The started
  // program is not waited for.
  virtual std::uintptr_t ShellExecuteW(Handle owner, const std::wstring& verb,
                                       const std::wstring& file, const std::wstring& parameters,
                                       const std::wstring& directory, int showCommand) = 0;
  // ShellExecuteA without owner and working directory; its result as an
  // integer (above 32 on success).
  virtual std::intptr_t ShellExecuteA(const std::string& verb, const std::string& file,
                                      const std::string& parameters, int showCommand) = 0;
};

}  // namespace qz::port
