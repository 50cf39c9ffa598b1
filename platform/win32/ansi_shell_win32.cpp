// Narrow shell execution over shell32, narrow libraries over kernel32.
#include <windows.h>
#include <shellapi.h>

#include "platform/win32/driver_patch_adapters.h"
#include "platform/win32/library_loading.h"

namespace qz::win32 {

namespace {

class Win32AnsiShell : public port::AnsiShell {
 public:
  std::intptr_t ShellExecuteA(const std::string& verb, const std::string& file,
                              const std::string& parameters, int showCommand) override {
    return reinterpret_cast<std::intptr_t>(::ShellExecuteA(
        nullptr, verb.c_str(), file.c_str(), parameters.c_str(), nullptr, showCommand));
  }

  port::Handle LoadLibraryA(const std::string& path) override {
    return reinterpret_cast<port::Handle>(LoadLibraryBesideItselfA(path.c_str()));
  }

  std::function<int()> GetProcAddress(port::Handle module, const std::string& name) override {
    using IntProc = int(WINAPI*)();
    // The detour through void* states that the real type is known to us.
    const auto proc = reinterpret_cast<IntProc>(
        reinterpret_cast<void*>(::GetProcAddress(reinterpret_cast<HMODULE>(module), name.c_str())));
    if (proc == nullptr) return {};
    return [proc] { return proc(); };
  }
};

}  // namespace

std::unique_ptr<port::AnsiShell> MakeAnsiShell() { return std::make_unique<Win32AnsiShell>(); }

}  // namespace qz::win32
