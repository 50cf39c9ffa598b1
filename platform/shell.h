// The shell's program starter.
#pragma once
#include <string>

#include "platform/types.h"

namespace qz::port {

inline constexpr int kSwHide = 0;

class Shell {
 public:
  virtual ~Shell() = default;
  // ShellExecuteW; an empty `directory` is passed as NULL. Returns the
  // instance value: above 32 when the program was started. The started
  // program is not waited for.
  virtual std::uintptr_t ShellExecuteW(Handle owner, const std::wstring& verb,
                                       const std::wstring& file, const std::wstring& parameters,
                                       const std::wstring& directory, int showCommand) = 0;
};

}  // namespace qz::port
