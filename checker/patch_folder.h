// The patch folder on disk, read the way Windows finds names in it: parts
// split at either slash, letters compared without regard to case.
#pragma once
#include <filesystem>
#include <optional>
#include <string>

namespace qz::check {

class PatchFolder {
 public:
  explicit PatchFolder(std::filesystem::path root) : root_(std::move(root)) {}
  const std::filesystem::path& Root() const { return root_; }
  // The file or folder that `relative` names, when there is one.
  std::optional<std::filesystem::path> Resolve(const std::wstring& relative) const;
  bool Exists(const std::wstring& relative) const { return Resolve(relative).has_value(); }
  // A regular file's bytes; absent when it is missing or unreadable.
  std::optional<std::string> Read(const std::wstring& relative) const;

 private:
  std::filesystem::path root_;
};

}  // namespace qz::check
