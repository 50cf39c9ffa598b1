// The wrapper's own copy of a patch folder. The manager uses up its inputs
// and trusts what lies in its folder and in the temporary folder, so it
// runs on a copy under a parent only administrators and the system can
// write, never in a management tool's cache or on a share. The copy's name
// comes from the patch folder's path and content: the next start for the
// same patch finds a copy that an interrupted run left with its record.
#pragma once
#include <string>
#include <vector>

#include "platform/files.h"

namespace qz::deploy {

// The wrapper's reports beside itself, when no log folder takes them: not
// part of the patch, never copied or hashed.
inline constexpr wchar_t kJsonBesideItself[] = L"QZVRNDeploy.json";
inline constexpr wchar_t kLogBesideItself[] = L"QZVRNDeploy.log";

class PrivateCopy {
 public:
  PrivateCopy(port::Files& files, std::wstring source, std::wstring parent);

  // Reads the source's tree and names the copy; false, with Why(), when
  // the tree holds a link or a file cannot be read.
  bool Name();
  // "<parent>\QZVRNDeploy.<16 hex>", after Name().
  const std::wstring& Folder() const { return folder_; }
  // The child's TMP and TEMP: "<Folder()>.temp".
  std::wstring TempFolder() const { return folder_ + L".temp"; }

  // A walk's backup folder stands in the copy: an earlier run was cut off
  // there and its record must be put back or finished.
  bool HoldsRecord();
  // Whatever stands at the copy's name goes, the source is copied there
  // fresh, and the bytes copied must be those the copy was named after.
  bool Make();
  // A fresh, empty TempFolder().
  bool MakeTempFolder();
  bool Remove() { return RemoveTree(folder_); }
  bool RemoveTempFolder() { return RemoveTree(TempFolder()); }

  const std::string& Why() const { return why_; }

 private:
  struct Entry {
    std::wstring relative;
    bool folder = false;
  };
  bool ListTree();
  // The digest of the tree's names and bytes; with `copyTo`, each file is
  // written there new from the bytes that were hashed.
  bool DigestTree(std::string& digest, const std::wstring* copyTo);
  bool RemoveTree(const std::wstring& root);
  bool Fail(std::string why);

  port::Files& files_;
  std::wstring source_;
  std::wstring parent_;
  std::wstring folder_;
  std::vector<Entry> entries_;
  std::string digest_;
  std::string why_;
};

}  // namespace qz::deploy
