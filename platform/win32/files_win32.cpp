// Files over kernel32. File and search handles go to the core as they
// are; INVALID_HANDLE_VALUE and INVALID_FILE_ATTRIBUTES become failures
// with the call's error code.
#include <windows.h>

#include "platform/win32/library_loading.h"
#include "platform/win32/win32_platform.h"

namespace qz::win32 {

namespace {

HANDLE ToHandle(port::FileHandle h) { return reinterpret_cast<HANDLE>(h.value); }
HANDLE ToHandle(port::FindHandle h) { return reinterpret_cast<HANDLE>(h.value); }

// The error is read where the call failed, before anything else runs.
port::Result<port::FileHandle> Opened(HANDLE file) {
  if (file == INVALID_HANDLE_VALUE) return port::Result<port::FileHandle>::Failed(::GetLastError());
  return port::Result<port::FileHandle>::Ok(
      port::FileHandle{reinterpret_cast<std::uintptr_t>(file)});
}

port::Result<port::DWORD> Attributes(DWORD attributes) {
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return port::Result<port::DWORD>::Failed(::GetLastError());
  }
  return port::Result<port::DWORD>::Ok(attributes);
}

port::FindData Found(const WIN32_FIND_DATAW& data) {
  port::FindData found;
  found.fileName = data.cFileName;
  found.attributes = data.dwFileAttributes;
  return found;
}

class Win32Files : public port::Files {
 public:
  port::Result<port::FileHandle> CreateFileW(const std::wstring& path) override {
    return Opened(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  }

  port::Result<port::FileHandle> CreateFileW(const std::wstring& path, port::DWORD desiredAccess,
                                             port::DWORD creationDisposition) override {
    return Opened(::CreateFileW(path.c_str(), desiredAccess, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, creationDisposition, Flags(creationDisposition), nullptr));
  }

  port::Result<port::FileHandle> CreateFileW(const std::wstring& path, port::DWORD desiredAccess,
                                             port::DWORD creationDisposition,
                                             port::DWORD shareMode) override {
    return Opened(::CreateFileW(path.c_str(), desiredAccess, shareMode, nullptr,
                                creationDisposition, Flags(creationDisposition), nullptr));
  }

  port::Result<std::size_t> ReadFile(port::FileHandle file, void* data, std::size_t size) override {
    DWORD got = 0;
    const DWORD chunk = size > 0x10000000u ? 0x10000000u : static_cast<DWORD>(size);
    if (!::ReadFile(ToHandle(file), data, chunk, &got, nullptr)) {
      return port::Result<std::size_t>::Failed(::GetLastError());
    }
    return port::Result<std::size_t>::Ok(got);
  }

  port::Status FlushFileBuffers(port::FileHandle file) override {
    return Result(::FlushFileBuffers(ToHandle(file)));
  }

  port::Status WriteFile(port::FileHandle file, const void* data, std::size_t size) override {
    const auto* bytes = static_cast<const BYTE*>(data);
    // WriteFile may take less than asked (pipes, odd devices): go on
    // until every byte is written or a call fails.
    while (size > 0) {
      DWORD written = 0;
      const DWORD chunk = size > 0x10000000u ? 0x10000000u : static_cast<DWORD>(size);
      if (!::WriteFile(ToHandle(file), bytes, chunk, &written, nullptr)) {
        return port::Status::Failed(::GetLastError());
      }
      // A write that takes nothing and reports nothing would never end.
      if (written == 0) return port::Status::Failed(ERROR_WRITE_FAULT);
      bytes += written;
      size -= written;
    }
    return port::Status::Ok();
  }

  port::Status CloseHandle(port::FileHandle file) override {
    return Result(::CloseHandle(ToHandle(file)));
  }

  port::Result<port::FindFirst> FindFirstFileW(const std::wstring& pattern) override {
    WIN32_FIND_DATAW data;
    const HANDLE search = ::FindFirstFileW(pattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
      return port::Result<port::FindFirst>::Failed(::GetLastError());
    }
    return port::Result<port::FindFirst>::Ok(
        {port::FindHandle{reinterpret_cast<std::uintptr_t>(search)}, Found(data)});
  }

  port::Result<port::FindData> FindNextFileW(port::FindHandle search) override {
    WIN32_FIND_DATAW data;
    if (!::FindNextFileW(ToHandle(search), &data)) {
      return port::Result<port::FindData>::Failed(::GetLastError());
    }
    return port::Result<port::FindData>::Ok(Found(data));
  }

  port::Status FindClose(port::FindHandle search) override {
    return Result(::FindClose(ToHandle(search)));
  }

  port::Result<port::DWORD> GetFileAttributesW(const std::wstring& path) override {
    return Attributes(::GetFileAttributesW(path.c_str()));
  }

  port::Result<port::DWORD> GetFileAttributesA(const std::string& path) override {
    return Attributes(::GetFileAttributesA(path.c_str()));
  }

  port::Status CopyFileA(const std::string& from, const std::string& to,
                         bool failIfExists) override {
    return Result(::CopyFileA(from.c_str(), to.c_str(), failIfExists ? TRUE : FALSE));
  }

  port::Status SetFileAttributesW(const std::wstring& path, port::DWORD attributes) override {
    return Result(::SetFileAttributesW(path.c_str(), attributes));
  }

  port::Status CreateDirectoryW(const std::wstring& path) override {
    return Result(::CreateDirectoryW(path.c_str(), nullptr));
  }

  port::Status RemoveDirectoryW(const std::wstring& path) override {
    return Result(::RemoveDirectoryW(path.c_str()));
  }

  port::Status CopyFileW(const std::wstring& from, const std::wstring& to,
                         bool failIfExists) override {
    return Result(::CopyFileW(from.c_str(), to.c_str(), failIfExists ? TRUE : FALSE));
  }

  port::Status MoveFileW(const std::wstring& from, const std::wstring& to) override {
    return Result(::MoveFileW(from.c_str(), to.c_str()));
  }

  port::Status DeleteFileW(const std::wstring& path) override {
    return Result(::DeleteFileW(path.c_str()));
  }

  std::wstring CharUpperBuffW(const std::wstring& text) override {
    std::wstring upper = text;
    if (upper.empty()) return upper;
    // The invariant locale is unknown to Windows 2000: its own table then.
    const int length = static_cast<int>(upper.size());
    if (::LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text.c_str(), length, &upper[0],
                       length) != length) {
      upper = text;
      ::CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    }
    return upper;
  }

  int CompareStringOrdinal(const std::wstring& a, const std::wstring& b) override {
    using Compare = int(WINAPI*)(LPCWSTR, int, LPCWSTR, int, BOOL);
    static const Compare compare =
        SystemFunctionAs<Compare>(L"kernel32.dll", "CompareStringOrdinal");
    if (compare) {
      return compare(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                     TRUE);
    }
    const std::wstring upperA = CharUpperBuffW(a);
    const std::wstring upperB = CharUpperBuffW(b);
    return upperA == upperB ? CSTR_EQUAL : upperA < upperB ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
  }

 private:
  // A file made new never goes through a link planted under its name.
  static DWORD Flags(port::DWORD creationDisposition) {
    return FILE_ATTRIBUTE_NORMAL |
           (creationDisposition == CREATE_NEW ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  }
  // The error is read where the call failed, before anything else runs.
  static port::Status Result(BOOL ok) {
    return ok ? port::Status::Ok() : port::Status::Failed(::GetLastError());
  }
};

}  // namespace

std::unique_ptr<port::Files> MakeFiles() { return std::make_unique<Win32Files>(); }

}  // namespace qz::win32
