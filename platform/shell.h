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
  // ShellExecuteW; an empty `directory` is passed as NULL. It fails when
  // the instance value is 32 or less, with the code the call left (the
  // value itself when it left none). The started program is not waited
  // for.
  virtual Status ShellExecuteW(WindowHandle owner, const std::wstring& verb,
                               const std::wstring& file, const std::wstring& parameters,
                               const std::wstring& directory, int showCommand) = 0;
  // ShellExecuteA without owner and working directory, failing as the
  // wide one does.
  virtual Status ShellExecuteA(const std::string& verb, const std::string& file,
                               const std::string& parameters, int showCommand) = 0;
};

}  // namespace qz::port
