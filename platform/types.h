// Plain value types shared by every port interface. No Windows header is
// included here: the portable core sees only these.
#pragma once
#include <utility>
#include <cstdint>

namespace qz::port {

using DWORD = std::uint32_t;
using LONG = std::int32_t;
using HRESULT = std::int32_t;
using LANGID = std::uint16_t;

// A handle of one kind, as the adapter hands it out; 0 is never a valid
// one. Kinds do not convert into each other, nor into a number: a search
// handle does not compile where a key is asked for.
template <typename Kind>
struct TypedHandle {
  std::uintptr_t value = 0;
  explicit operator bool() const { return value != 0; }
  friend bool operator==(TypedHandle a, TypedHandle b) { return a.value == b.value; }
  friend bool operator!=(TypedHandle a, TypedHandle b) { return a.value != b.value; }
  friend bool operator<(TypedHandle a, TypedHandle b) { return a.value < b.value; }
};
using FileHandle = TypedHandle<struct FileKind>;        // CreateFileW
using FindHandle = TypedHandle<struct FindKind>;        // FindFirstFileW
using KeyHandle = TypedHandle<struct KeyKind>;          // RegOpenKeyExW
using ServiceHandle = TypedHandle<struct ServiceKind>;  // OpenSCManagerA, OpenServiceA
using ModuleHandle = TypedHandle<struct ModuleKind>;    // LoadLibraryW
using ProcessHandle = TypedHandle<struct ProcessKind>;  // CreateProcessW's process and thread
using TokenHandle = TypedHandle<struct TokenKind>;      // OpenProcessToken
using MutexHandle = TypedHandle<struct MutexKind>;      // CreateMutexW
using WindowHandle = TypedHandle<struct WindowKind>;    // HWND

// The outcome of a call whose failure decides what the core does: the
// Win32 error code the call left (GetLastError), 0 on success.
struct Status {
  DWORD error = 0;
  explicit operator bool() const { return error == 0; }
  static Status Ok() { return {}; }
  // A failure that left no code still counts as one (ERROR_GEN_FAILURE).
  static Status Failed(DWORD code) { return {code != 0 ? code : 31u}; }
};

// What a call made, and how it went: `value` is meaningful only on
// success. The adapter captures the error code right after the call.
template <typename T>
struct Result {
  T value{};
  Status status;
  explicit operator bool() const { return static_cast<bool>(status); }
  static Result Ok(T v) { return {std::move(v), Status::Ok()}; }
  static Result Failed(DWORD code, T v = T{}) { return {std::move(v), Status::Failed(code)}; }
};

// Values the core compares against, under names that cannot collide with
// the macros of the Windows headers.
inline constexpr HRESULT kSOk = 0;
inline constexpr HRESULT kEPointer = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT kEFail = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT kENoInterface = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT kEInvalidArg = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT kClassNotReg = static_cast<HRESULT>(0x80040154u);

inline constexpr DWORD kStillActive = 259;
inline constexpr DWORD kWaitObject0 = 0;
inline constexpr DWORD kWaitTimeout = 258;
inline constexpr DWORD kWaitFailed = 0xFFFFFFFFu;
inline constexpr DWORD kInfinite = 0xFFFFFFFFu;

inline constexpr DWORD kCreateNoWindow = 0x08000000u;
inline constexpr DWORD kKeyRead = 0x20019u;

inline constexpr DWORD kFileAttributeReadOnly = 0x1;
inline constexpr DWORD kFileAttributeDirectory = 0x10;
inline constexpr DWORD kFileAttributeNormal = 0x80;
inline constexpr DWORD kFileAttributeReparsePoint = 0x400;  // a junction or a link

inline constexpr DWORD kGenericRead = 0x80000000u;
inline constexpr DWORD kGenericWrite = 0x40000000u;
inline constexpr DWORD kCreateNew = 1;
inline constexpr DWORD kCreateAlways = 2;
inline constexpr DWORD kOpenExisting = 3;
inline constexpr DWORD kFileShareRead = 0x1;
inline constexpr DWORD kFileShareWrite = 0x2;

inline constexpr int kCstrEqual = 2;  // CompareStringOrdinal's "equal"

inline constexpr DWORD kRegSz = 1;
inline constexpr DWORD kRegExpandSz = 2;
inline constexpr DWORD kRegDword = 4;

inline constexpr unsigned kMbOk = 0x0;
inline constexpr unsigned kMbIconInformation = 0x40;

inline constexpr DWORD kVerPlatformWin32Windows = 1;
inline constexpr DWORD kVerPlatformWin32Nt = 2;

}  // namespace qz::port

// Every error number the port names.
#include "platform/errors.h"
