// Files over kernel32. File handles go to the core as they are, except
// that CreateFileW's INVALID_HANDLE_VALUE becomes the port's 0.
#include <windows.h>

#include "platform/win32/library_loading.h"
#include "platform/win32/win32_platform.h"

namespace qz::win32 {

namespace {

HANDLE ToHandle(port::Handle h) { return reinterpret_cast<HANDLE>(h); }

class Win32Files : public port::Files {
 public:
  port::Handle CreateFileW(const std::wstring& path) override {
    const HANDLE file =
        ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    return reinterpret_cast<port::Handle>(file);
  }

  port::Handle CreateFileW(const std::wstring& path, port::DWORD desiredAccess,
                           port::DWORD creationDisposition) override {
    const HANDLE file =
        ::CreateFileW(path.c_str(), desiredAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      creationDisposition, Flags(creationDisposition), nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    return reinterpret_cast<port::Handle>(file);
  }

  port::Handle CreateFileW(const std::wstring& path, port::DWORD desiredAccess,
                           port::DWORD creationDisposition, port::DWORD shareMode) override {
    const HANDLE file = ::CreateFileW(path.c_str(), desiredAccess, shareMode, nullptr,
                                      creationDisposition, Flags(creationDisposition), nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    return reinterpret_cast<port::Handle>(file);
  }

  bool ReadFile(port::Handle file, void* data, std::size_t size, std::size_t& read) override {
    DWORD got = 0;
    const DWORD chunk = size > 0x10000000u ? 0x10000000u : static_cast<DWORD>(size);
    const bool ok = ::ReadFile(ToHandle(file), data, chunk, &got, nullptr) != FALSE;
    read = ok ? got : 0;
    return ok;
  }

  bool FlushFileBuffers(port::Handle file) override {
    return ::FlushFileBuffers(ToHandle(file)) != FALSE;
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

  bool CloseHandle(port::Handle file) override { return ::CloseHandle(ToHandle(file)) != FALSE; }

  port::Handle FindFirstFileW(const std::wstring& pattern, port::FindData& found) override {
    WIN32_FIND_DATAW data;
    const HANDLE search = ::FindFirstFileW(pattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return 0;
    Fill(data, found);
    return reinterpret_cast<port::Handle>(search);
  }

  bool FindNextFileW(port::Handle search, port::FindData& found) override {
    WIN32_FIND_DATAW data;
    if (!::FindNextFileW(ToHandle(search), &data)) return false;
    Fill(data, found);
    return true;
  }

  bool FindClose(port::Handle search) override { return ::FindClose(ToHandle(search)) != FALSE; }

  port::DWORD GetFileAttributesW(const std::wstring& path) override {
    return ::GetFileAttributesW(path.c_str());
  }

  port::DWORD GetFileAttributesA(const std::string& path) override {
    return ::GetFileAttributesA(path.c_str());
  }

  bool CopyFileA(const std::string& from, const std::string& to, bool failIfExists) override {
    return ::CopyFileA(from.c_str(), to.c_str(), failIfExists ? TRUE : FALSE) != FALSE;
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
  static void Fill(const WIN32_FIND_DATAW& data, port::FindData& found) {
    found.fileName = data.cFileName;
    found.attributes = data.dwFileAttributes;
  }
};

}  // namespace

std::unique_ptr<port::Files> MakeFiles() { return std::make_unique<Win32Files>(); }

}  // namespace qz::win32
