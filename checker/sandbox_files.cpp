#include "checker/sandbox_files.h"

#include "checker/rules.h"

namespace qz::check {

std::optional<std::string> SandboxFiles::Written(const std::wstring& name) const {
  for (const auto& [path, bytes] : written_) {
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::wstring last = slash == std::wstring::npos ? path : path.substr(slash + 1);
    if (FoldCase(last) == FoldCase(name)) return bytes;
  }
  return std::nullopt;
}

port::Result<port::FileHandle> SandboxFiles::CreateFileW(const std::wstring& path) {
  const port::FileHandle handle{++next_};
  open_[handle] = path;
  written_[path].clear();
  return port::Result<port::FileHandle>::Ok(handle);
}

port::Status SandboxFiles::WriteFile(port::FileHandle file, const void* data, std::size_t size) {
  const auto it = open_.find(file);
  if (it == open_.end()) return Held(file);
  written_[it->second].append(static_cast<const char*>(data), size);
  return port::Status::Ok();
}

port::Status SandboxFiles::CloseHandle(port::FileHandle file) {
  const port::Status held = Held(file);
  open_.erase(file);
  return held;
}

}  // namespace qz::check
