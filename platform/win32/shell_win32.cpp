// The shell's program starter.
#include <windows.h>
#include <shellapi.h>

#include "platform/win32/win32_platform.h"

namespace qz::win32 {

namespace {

class Win32Shell : public port::Shell {
 public:
  std::uintptr_t ShellExecuteW(port::Handle owner, const std::wstring& verb,
                               const std::wstring& file, const std::wstring& parameters,
                               const std::wstring& directory, int showCommand) override {
    const HINSTANCE result =
        ::ShellExecuteW(reinterpret_cast<HWND>(owner), verb.c_str(), file.c_str(),
                        parameters.empty() ? nullptr : parameters.c_str(),
                        directory.empty() ? nullptr : directory.c_str(), showCommand);
    return reinterpret_cast<std::uintptr_t>(result);
  }

  std::intptr_t ShellExecuteA(const std::string& verb, const std::string& file,
                              const std::string& parameters, int showCommand) override {
    return reinterpret_cast<std::intptr_t>(::ShellExecuteA(
        nullptr, verb.c_str(), file.c_str(), parameters.c_str(), nullptr, showCommand));
  }
};

}  // namespace

std::unique_ptr<port::Shell> MakeShell() { return std::make_unique<Win32Shell>(); }

}  // namespace qz::win32
