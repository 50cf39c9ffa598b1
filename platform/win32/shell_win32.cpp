// The shell's program starter.
#include <windows.h>
#include <shellapi.h>

#include "platform/win32/win32_platform.h"

namespace qz::win32 {

namespace {

// ShellExecute's instance value above 32 is a success; below, the code
// the call left, or the value itself (an SE_ERR_* number) when it left
// none.
port::Status Outcome(HINSTANCE instance) {
  const DWORD error = ::GetLastError();
  const auto value = reinterpret_cast<std::uintptr_t>(instance);
  if (value > 32) return port::Status::Ok();
  return port::Status::Failed(error != 0 ? error : static_cast<DWORD>(value));
}

class Win32Shell : public port::Shell {
 public:
  port::Status ShellExecuteW(port::WindowHandle owner, const std::wstring& verb,
                             const std::wstring& file, const std::wstring& parameters,
                             const std::wstring& directory, int showCommand) override {
    ::SetLastError(0);  // a failure without a code of its own gives its SE_ERR value
    return Outcome(::ShellExecuteW(reinterpret_cast<HWND>(owner.value), verb.c_str(), file.c_str(),
                                   parameters.empty() ? nullptr : parameters.c_str(),
                                   directory.empty() ? nullptr : directory.c_str(), showCommand));
  }

  port::Status ShellExecuteA(const std::string& verb, const std::string& file,
                             const std::string& parameters, int showCommand) override {
    ::SetLastError(0);
    return Outcome(::ShellExecuteA(nullptr, verb.c_str(), file.c_str(), parameters.c_str(), nullptr,
                                   showCommand));
  }
};

}  // namespace

std::unique_ptr<port::Shell> MakeShell() { return std::make_unique<Win32Shell>(); }

}  // namespace qz::win32
