#include "deploy/private_copy.h"

#include <algorithm>
#include <cstdint>

#include "common/backup_folder.h"
#include "common/sha256.h"
#include "common/text_compare.h"
#include "common/utf8.h"

namespace qz::deploy {

namespace {

constexpr wchar_t kPrefix[] = L"\\QZVRNDeploy.";
constexpr std::size_t kNameDigits = 16;
// No patch holds more; a tree beyond it is refused, not copied for hours.
constexpr std::size_t kMostEntries = 20000;

bool IsDotName(const std::wstring& name) { return name == L"." || name == L".."; }

// A run that wrote its reports must not make the next one another patch.
bool IsOwnReport(const std::wstring& name) {
  return EqualsIgnoringCase(name, kJsonBesideItself) || EqualsIgnoringCase(name, kLogBesideItself);
}

std::wstring Join(const std::wstring& folder, const std::wstring& relative) {
  return relative.empty() ? folder : folder + L"\\" + relative;
}

}  // namespace

PrivateCopy::PrivateCopy(port::Files& files, std::wstring source, std::wstring parent)
    : files_(files), source_(std::move(source)), parent_(std::move(parent)) {}

bool PrivateCopy::Fail(std::string why) {
  why_ = std::move(why);
  return false;
}

// Folders before what they hold, each folder's names in one order, so the
// same tree always hashes alike. Links are not followed: what they point
// to is not the patch that was shipped.
bool PrivateCopy::ListTree() {
  entries_.clear();
  std::vector<std::wstring> pending{L""};
  while (!pending.empty()) {
    const std::wstring relative = pending.back();
    pending.pop_back();
    std::vector<Entry> found;
    const std::vector<port::FindData> listing = files_.FindAll(Join(source_, relative) + L"\\*");
    if (listing.empty()) return Fail("the patch folder cannot be read");
    for (const port::FindData& data : listing) {
      if (IsDotName(data.fileName) || (relative.empty() && IsOwnReport(data.fileName))) continue;
      const std::wstring name = relative.empty() ? data.fileName : relative + L"\\" + data.fileName;
      if (data.attributes & port::kFileAttributeReparsePoint) {
        return Fail("the patch folder holds a link: " + ToUtf8(name));
      }
      found.push_back({name, (data.attributes & port::kFileAttributeDirectory) != 0});
    }
    std::sort(found.begin(), found.end(),
              [](const Entry& a, const Entry& b) { return a.relative < b.relative; });
    if (entries_.size() + found.size() > kMostEntries) {
      return Fail("the patch folder holds more than " + std::to_string(kMostEntries) + " entries");
    }
    for (auto it = found.rbegin(); it != found.rend(); ++it) {
      if (it->folder) pending.push_back(it->relative);
    }
    entries_.insert(entries_.end(), found.begin(), found.end());
  }
  return true;
}

bool PrivateCopy::DigestTree(std::string& digest, const std::wstring* copyTo) {
  Sha256 tree;
  for (const Entry& entry : entries_) {
    const std::string name = ToUtf8(entry.relative);
    tree.Update(entry.folder ? "D" : "F", 1);
    tree.Update(name.data(), name.size() + 1);  // with its NUL
    if (copyTo && entry.folder && !files_.CreateDirectoryW(Join(*copyTo, entry.relative))) {
      return Fail("the private copy cannot be made: " + name);
    }
    if (entry.folder) continue;

    const port::Result<port::FileHandle> opened =
        files_.CreateFileW(Join(source_, entry.relative), port::kGenericRead, port::kOpenExisting);
    const port::UniqueFile in(files_, opened.value);
    if (!in.Valid()) return Fail("a patch file cannot be read: " + name);
    port::UniqueFile out(files_);
    if (copyTo) {
      const port::Result<port::FileHandle> made = files_.CreateFileW(
          Join(*copyTo, entry.relative), port::kGenericWrite, port::kCreateNew, 0);
      out.Put() = made.value;
    }
    bool ok = !copyTo || out.Valid();
    Sha256 file;
    std::uint64_t size = 0;
    char chunk[65536];
    while (ok) {
      const port::Result<std::size_t> got = files_.ReadFile(in.Get(), chunk, sizeof chunk);
      ok = static_cast<bool>(got);
      if (!ok || got.value == 0) break;
      file.Update(chunk, got.value);
      size += got.value;
      if (out.Valid()) ok = static_cast<bool>(files_.WriteFile(out.Get(), chunk, got.value));
    }
    if (!out.Close()) ok = false;
    if (!ok) {
      return Fail(std::string(copyTo ? "the private copy cannot be made: "
                                     : "a patch file cannot be read: ") +
                  name);
    }
    const std::string fileDigest = file.HexDigest() + ":" + std::to_string(size);
    tree.Update(fileDigest.data(), fileDigest.size());
  }
  digest = tree.HexDigest();
  return true;
}

bool PrivateCopy::Name() {
  if (!ListTree() || !DigestTree(digest_, nullptr)) return false;
  // The path in the file system's case: the same folder written in other
  // letters is the same patch.
  const std::string path = ToUtf8(files_.CharUpperBuffW(source_));
  Sha256 name;
  name.Update(path.data(), path.size() + 1);
  name.Update(digest_.data(), digest_.size());
  const std::string hex = name.HexDigest().substr(0, kNameDigits);
  folder_ = parent_ + kPrefix + std::wstring(hex.begin(), hex.end());
  return true;
}

bool PrivateCopy::HoldsRecord() {
  for (const port::FindData& data : files_.FindAll(folder_ + L"\\qzvrn*")) {
    if ((data.attributes & port::kFileAttributeDirectory) && IsBackupFolderName(data.fileName)) {
      return true;
    }
  }
  return false;
}

bool PrivateCopy::Make() {
  if (!RemoveTree(folder_)) return Fail("an old private copy cannot be removed");
  if (!files_.CreateDirectoryW(folder_)) return Fail("the private copy cannot be made");
  std::string copied;
  if (!DigestTree(copied, &folder_)) {
    RemoveTree(folder_);
    return false;
  }
  if (copied != digest_) {
    RemoveTree(folder_);
    return Fail("the patch folder changed while it was copied");
  }
  return true;
}

bool PrivateCopy::MakeTempFolder() {
  if (!RemoveTree(TempFolder()) || !files_.CreateDirectoryW(TempFolder())) {
    return Fail("the private temporary folder cannot be made");
  }
  return true;
}

// Depth first, never through a link: a link is removed, not what it
// points to. Nothing there is true when the tree is gone.
bool PrivateCopy::RemoveTree(const std::wstring& root) {
  const port::Result<port::DWORD> rootAttributes = files_.GetFileAttributesW(root);
  if (!rootAttributes) return true;
  if (!(rootAttributes.value & port::kFileAttributeDirectory)) {
    files_.SetFileAttributesW(root, port::kFileAttributeNormal);
    return static_cast<bool>(files_.DeleteFileW(root));
  }
  std::vector<std::wstring> folders{root};
  bool removed = true;
  for (std::size_t i = 0; i < folders.size(); ++i) {
    // One that cannot be read is not searched either.
    const port::Result<port::DWORD> attributes = files_.GetFileAttributesW(folders[i]);
    if (!attributes || (attributes.value & port::kFileAttributeReparsePoint)) continue;
    for (const port::FindData& data : files_.FindAll(folders[i] + L"\\*")) {
      if (IsDotName(data.fileName)) continue;
      const std::wstring path = folders[i] + L"\\" + data.fileName;
      if (data.attributes & port::kFileAttributeDirectory) {
        folders.push_back(path);
      } else {
        if (data.attributes & port::kFileAttributeReadOnly) {
          files_.SetFileAttributesW(path, port::kFileAttributeNormal);
        }
        if (!files_.DeleteFileW(path)) removed = false;
      }
    }
  }
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
    if (!files_.RemoveDirectoryW(*it)) removed = false;
  }
  return removed;
}

}  // namespace qz::deploy
