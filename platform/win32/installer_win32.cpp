// The Setup API's single-file installer.
#include <windows.h>
#include <setupapi.h>

#include "platform/win32/library_loading.h"
#include "platform/win32/win32_platform.h"

namespace qz::win32 {

namespace {

// The core's handler and its context, reached from the Setup API's
// callback, which must use the system's calling convention.
struct Handler {
  port::FileCallback callback;
  void* context;
};

UINT CALLBACK Trampoline(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR param2) {
  const auto* handler = static_cast<const Handler*>(context);
  return handler->callback(handler->context, notification, param1, param2);
}

class Win32Installer : public port::Installer {
 public:
  bool SetupInstallFileExW(const std::wstring& sourceFile, const std::wstring& sourcePathRoot,
                           const std::wstring& destinationName, port::DWORD copyStyle,
                           port::FileCallback callback, void* context, bool& fileWasInUse,
                           port::DWORD& lastError) override {
    // setupapi.dll is taken from the system folder, not by name.
    static const auto install =
        SystemFunctionAs<decltype(&::SetupInstallFileExW)>(L"setupapi.dll", "SetupInstallFileExW");
    fileWasInUse = false;
    if (install == nullptr) {
      lastError = ERROR_PROC_NOT_FOUND;
      return false;
    }
    Handler handler{callback, context};
    BOOL inUse = FALSE;
    ::SetLastError(0);
    const BOOL ok = install(nullptr, nullptr, sourceFile.c_str(), sourcePathRoot.c_str(),
                            destinationName.c_str(), copyStyle, callback ? Trampoline : nullptr,
                            callback ? &handler : nullptr, &inUse);
    lastError = ok ? 0 : ::GetLastError();
    fileWasInUse = inUse != FALSE;
    return ok != FALSE;
  }

  bool SetupInstallFileExA(const std::string& sourceFile, const std::string& sourcePathRoot,
                           const std::string& destination, port::DWORD copyStyle,
                           bool& inUse) override {
    // setupapi.dll is taken from the system folder, not by name.
    static const auto install =
        SystemFunctionAs<decltype(&::SetupInstallFileExA)>(L"setupapi.dll", "SetupInstallFileExA");
    if (install == nullptr) {
      inUse = false;
      ::SetLastError(ERROR_PROC_NOT_FOUND);
      return false;
    }
    BOOL wasInUse = FALSE;
    const BOOL done = install(nullptr, nullptr, sourceFile.c_str(), sourcePathRoot.c_str(),
                              destination.c_str(), copyStyle, nullptr, nullptr, &wasInUse);
    inUse = wasInUse != FALSE;
    return done != FALSE;
  }
};

}  // namespace

std::unique_ptr<port::Installer> MakeInstaller() { return std::make_unique<Win32Installer>(); }

}  // namespace qz::win32
