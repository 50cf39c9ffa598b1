// Files over kernel32. File handles go to the core as they are, except
// that CreateFileW's INVALID_HANDLE_VALUE becomes the port's 0.
#include <windows.h>

#include "platform/win32/unique_handles.h"
#include "platform/win32/win32_platform.h"

namespace qz::win32 {

namespace {

HANDLE ToHandle(port::Handle h) { return reinterpret_cast<HANDLE>(h); }

class Win32Files : public port::Files {
 public:
  port::Handle CreateFileW(const std::wstring& path) override {
    const HANDLE file =
        ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    return reinterpret_cast<port::Handle>(file);
  }

  bool WriteFile(port::Handle file, const void* data, std::size_t size) override {
    const auto* bytes = static_cast<const BYTE*>(data);
    // WriteFile may take less than asked (pipes, odd devices): go on
    // until every byte is written or a call fails.
    while (size > 0) {
      DWORD written = 0;
      const DWORD chunk = size > 0x10000000u ? 0x10000000u : static_cast<DWORD>(size);
      if (!::WriteFile(ToHandle(file), bytes, chunk, &written, nullptr) || written == 0) {
        return false;
      }
      bytes += written;
      size -= written;
    }
    return true;
  }

  bool CloseHandle(port::Handle file) override {
    return ::CloseHandle(ToHandle(file)) != FALSE;
  }

  bool FindFirstFileW(const std::wstring& pattern) override {
    WIN32_FIND_DATAW found;
    const UniqueFind find(::FindFirstFileW(pattern.c_str(), &found));
    return find.Valid();
  }

  bool CreateDirectoryW(const std::wstring& path) override {
    return ::CreateDirectoryW(path.c_str(), nullptr) != FALSE;
  }

  bool CopyFileW(const std::wstring& from, const std::wstring& to,
                 bool failIfExists) override {
    return ::CopyFileW(from.c_str(), to.c_str(), failIfExists ? TRUE : FALSE) != FALSE;
  }

  bool DeleteFileW(const std::wstring& path) override {
    return ::DeleteFileW(path.c_str()) != FALSE;
  }
};

}  // namespace

std::unique_ptr<port::Files> MakeFiles() { return std::make_unique<Win32Files>(); }

}  // namespace qz::win32
