// The Setup API's single-file installer.
#pragma once
#include <cstdint>
#include <string>

#include "platform/types.h"

namespace qz::port {

// Copy styles and notifications the product uses.
inline constexpr DWORD kSpCopyInUseNeedsReboot = 0x100;
inline constexpr DWORD kSpCopySourcePathAbsolute = 0x80;
inline constexpr DWORD kSpCopyForceInUse = 0x200;
inline constexpr DWORD kSpCopyNoSkip = 0x400;
inline constexpr DWORD kSpCopyNewerOnly = 0x10000;
inline constexpr unsigned kSpFileNotifyCopyError = 13;
inline constexpr unsigned kSpFileNotifyFileOpDelayed = 20;

// The message handler's signature (PSP_FILE_CALLBACK_W) without its calling
// convention: the adapter calls it from a trampoline of its own. The two
// parameters are the notification's, passed through unread.
using FileCallback = unsigned (*)(void* context, unsigned notification, std::uintptr_t param1,
                                  std::uintptr_t param2);

// The driver patch's copy style for SetupInstallFileExA.
inline constexpr DWORD kDriverCopyStyle = 0x10780;

class Installer {
 public:
  virtual ~Installer() = default;
  // SetupInstallFileExW without an INF: copies `sourcePathRoot` + "\" +
  // `sourceFile` to `destinationName` under `copyStyle`, notifying
  // `callback` (none when null). A file that is in use is queued for the
  // next restart under SP_COPY_FORCE_IN_USE and reported in
  // `fileWasInUse`. On a false result `lastError` holds GetLastError, which
  // is 0 when the copy was declined as unnecessary (an installed file that
  // is newer, for instance).
  virtual bool SetupInstallFileExW(const std::wstring& sourceFile,
                                   const std::wstring& sourcePathRoot,
                                   const std::wstring& destinationName, DWORD copyStyle,
                                   FileCallback callback, void* context, bool& fileWasInUse,
                                   DWORD& lastError) = 0;
  // SetupInstallFileExA without INF and without callback: copies
  // `sourceFile` from `sourcePathRoot` to `destination`; `inUse` is the
  // call's FileWasInUse.
  virtual bool SetupInstallFileExA(const std::string& sourceFile, const std::string& sourcePathRoot,
                                   const std::string& destination, DWORD copyStyle,
                                   bool& inUse) = 0;
};

}  // namespace qz::port
