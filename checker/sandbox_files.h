// The files the manager's readers see when the checker runs them: reads
// and searches reach the real files, but what they write (the log, the
// rule scripts) stays in memory, and nothing can be changed on disk.
#pragma once
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

  using port::Files::FindFirstFileW;
  port::Handle CreateFileW(const std::wstring& path) override;
  // Only the checker's own writes are opened; nothing is read or flushed.
  port::Handle CreateFileW(const std::wstring&, port::DWORD, port::DWORD) override { return 0; }
  port::Handle CreateFileW(const std::wstring&, port::DWORD, port::DWORD, port::DWORD) override {
    return 0;
  }
  bool WriteFile(port::Handle file, const void* data, std::size_t size) override;
  bool ReadFile(port::Handle, void*, std::size_t, std::size_t& read) override {
    read = 0;
    return false;
  }
  bool FlushFileBuffers(port::Handle file) override { return open_.count(file) != 0; }
  bool CloseHandle(port::Handle file) override;
  port::Handle FindFirstFileW(const std::wstring& pattern, port::FindData& found) override {
    return real_.FindFirstFileW(pattern, found);
  }
  bool FindNextFileW(port::Handle search, port::FindData& found) override {
    return real_.FindNextFileW(search, found);
  }
  bool FindClose(port::Handle search) override { return real_.FindClose(search); }
  port::DWORD GetFileAttributesW(const std::wstring& path) override {
    return real_.GetFileAttributesW(path);
  }
  port::DWORD GetFileAttributesA(const std::string& path) override {
    return real_.GetFileAttributesA(path);
  }
  bool CopyFileA(const std::string&, const std::string&, bool) override { return false; }
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
  port::Files& real_;
  std::map<std::wstring, std::string> written_;  // by path as given
  std::map<port::Handle, std::wstring> open_;
  // Far above what the real adapter hands out, so the two never meet.
  port::Handle next_ = static_cast<port::Handle>(0x7F000000u);
};

}  // namespace qz::check
