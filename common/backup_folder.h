// The name the manager gives a walk's backup folder inside its patch
// folder: "qzvrn" and the tick count's digits. While one exists, the walk
// it records may still have to be put back.
#pragma once
#include <string>

#include "common/text_compare.h"

namespace qz {

inline bool IsBackupFolderName(const std::wstring& name) {
  if (name.size() <= 5 || !EqualsIgnoringCase(name.substr(0, 5), L"qzvrn")) return false;
  for (std::size_t i = 5; i < name.size(); ++i) {
    if (name[i] < L'0' || name[i] > L'9') return false;
  }
  return true;
}

}  // namespace qz
