// Narrow file calls over kernel32 and the Setup API.
#include <windows.h>
#include <setupapi.h>

#include <vector>

#include "platform/win32/driver_patch_adapters.h"
#include "platform/win32/library_loading.h"

namespace qz::win32 {

namespace {

class Win32AnsiFiles : public port::AnsiFiles {
 public:
  std::string GetModuleFileNameA() override {
    // Grown until the path fits, so a deep folder is not cut.
    for (DWORD size = 1024; size <= 65536; size *= 2) {
      std::vector<char> buffer(size, '\0');
      const DWORD length = ::GetModuleFileNameA(nullptr, buffer.data(), size);
      if (length == 0) return std::string();
      if (length < size - 1) return std::string(buffer.data(), length);
    }
    return std::string();
  }

  bool IsDBCSLeadByte(unsigned char byte) override { return ::IsDBCSLeadByte(byte) != FALSE; }

  std::optional<std::string> GetSystemDirectoryA(std::size_t bufferChars) override {
    std::vector<char> buffer(bufferChars + 1, '\0');
    const UINT length = ::GetSystemDirectoryA(buffer.data(), static_cast<UINT>(bufferChars));
    if (length == 0 || length >= bufferChars) return std::nullopt;
    return std::string(buffer.data(), length);
  }

  port::DWORD GetFileAttributesA(const std::string& path) override {
    return ::GetFileAttributesA(path.c_str());
  }

  bool CopyFileA(const std::string& from, const std::string& to, bool failIfExists) override {
    return ::CopyFileA(from.c_str(), to.c_str(), failIfExists ? TRUE : FALSE) != FALSE;
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

std::unique_ptr<port::AnsiFiles> MakeAnsiFiles() { return std::make_unique<Win32AnsiFiles>(); }

}  // namespace qz::win32
