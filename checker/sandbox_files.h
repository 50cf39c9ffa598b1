// The files the manager's readers see when the checker runs them: reads
// and searches reach the real files, but what they write (the log, the
// rule scripts) stays in memory, and nothing can be changed on disk.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "platform/files.h"

namespace qz::check {

class SandboxFiles : public port::Files {
 public:
  explicit SandboxFiles(port::Files& real) : real_(real) {}
  // What was written under a path whose last part is `name` (any case).
  std::optional<std::string> Written(const std::wstring& name) const;

  port::Result<port::FileHandle> CreateFileW(const std::wstring& path) override;
  // Only the checker's own writes are opened; nothing is read or flushed.
  port::Result<port::FileHandle> CreateFileW(const std::wstring&, port::DWORD,
                                             port::DWORD) override {
    return {{}, Refused()};
  }
  port::Result<port::FileHandle> CreateFileW(const std::wstring&, port::DWORD, port::DWORD,
                                             port::DWORD) override {
    return {{}, Refused()};
  }
  port::Status WriteFile(port::FileHandle file, const void* data, std::size_t size) override;
  port::Result<std::size_t> ReadFile(port::FileHandle, void*, std::size_t) override {
    return {0, Refused()};
  }
  port::Status FlushFileBuffers(port::FileHandle file) override { return Held(file); }
  port::Status CloseHandle(port::FileHandle file) override;
  port::Result<port::FindFirst> FindFirstFileW(const std::wstring& pattern) override {
    return real_.FindFirstFileW(pattern);
  }
  port::Result<port::FindData> FindNextFileW(port::FindHandle search) override {
    return real_.FindNextFileW(search);
  }
  port::Status FindClose(port::FindHandle search) override { return real_.FindClose(search); }
  port::Result<port::DWORD> GetFileAttributesW(const std::wstring& path) override {
    return real_.GetFileAttributesW(path);
  }
  port::Result<port::DWORD> GetFileAttributesA(const std::string& path) override {
    return real_.GetFileAttributesA(path);
  }
  port::Status CopyFileA(const std::string&, const std::string&, bool) override {
    return Refused();
  }
  port::Status SetFileAttributesW(const std::wstring&, port::DWORD) override { return Refused(); }
  port::Status CreateDirectoryW(const std::wstring&) override { return Refused(); }
  port::Status RemoveDirectoryW(const std::wstring&) override { return Refused(); }
  port::Status CopyFileW(const std::wstring&, const std::wstring&, bool) override {
    return Refused();
  }
  port::Status MoveFileW(const std::wstring&, const std::wstring&) override { return Refused(); }
  port::Status DeleteFileW(const std::wstring&) override { return Refused(); }
  std::wstring CharUpperBuffW(const std::wstring& text) override {
    return real_.CharUpperBuffW(text);
  }
  int CompareStringOrdinal(const std::wstring& a, const std::wstring& b) override {
    return real_.CompareStringOrdinal(a, b);
  }

 private:
  static port::Status Refused() { return port::Status::Failed(5); }  // access denied
  // Ok for a handle of ours.
  port::Status Held(port::FileHandle file) const {
    return open_.count(file) != 0 ? port::Status::Ok()
                                  : port::Status::Failed(port::kErrorInvalidHandle);
  }
  port::Files& real_;
  std::map<std::wstring, std::string> written_;  // by path as given
  std::map<port::FileHandle, std::wstring> open_;
  // Far above what the real adapter hands out, so the two never meet.
  std::uintptr_t next_ = 0x7F000000u;
};

}  // namespace qz::check
