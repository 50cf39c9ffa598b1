// The Win32 error numbers the core and the fakes compare or report, each
// defined once under a name that cannot collide with winerror.h's macros.
#pragma once
#include "platform/types.h"

namespace qz::port {

inline constexpr DWORD kErrorSuccess = 0;
inline constexpr DWORD kErrorFileNotFound = 2;
inline constexpr DWORD kErrorPathNotFound = 3;
inline constexpr DWORD kErrorAccessDenied = 5;
inline constexpr DWORD kErrorInvalidHandle = 6;
inline constexpr DWORD kErrorNoMoreFiles = 18;
inline constexpr DWORD kErrorCrc = 23;
inline constexpr DWORD kErrorSharingViolation = 32;
inline constexpr DWORD kErrorFileExists = 80;
inline constexpr DWORD kErrorDiskFull = 112;
inline constexpr DWORD kErrorInsufficientBuffer = 122;
inline constexpr DWORD kErrorProcNotFound = 127;
inline constexpr DWORD kErrorDirNotEmpty = 145;
inline constexpr DWORD kErrorAlreadyExists = 183;
inline constexpr DWORD kErrorMoreData = 234;
inline constexpr DWORD kErrorMrMidNotFound = 317;
inline constexpr DWORD kErrorOperationAborted = 995;
inline constexpr DWORD kErrorServiceDoesNotExist = 1060;
inline constexpr DWORD kErrorServiceNotActive = 1062;
inline constexpr DWORD kErrorServiceMarkedForDelete = 1072;
inline constexpr DWORD kErrorNotAllAssigned = 1300;
inline constexpr DWORD kErrorInvalidWindowHandle = 1400;
inline constexpr DWORD kErrorResourceTypeNotFound = 1813;
inline constexpr DWORD kErrorResourceNameNotFound = 1814;

}  // namespace qz::port
