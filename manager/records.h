// The records read from the configuration; the installation steps write
// their per-entry results into them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace qz {

struct RegistryLocation {
  std::wstring subKey;
  std::wstring valueName;
  std::wstring relativePath;
};

struct BackupRecord {
  std::wstring fileName;
  std::wstring destinationFolder;
  std::wstring backedUpFileName;
  std::wstring backupFolder;
};

struct UpdateEntry {
  std::wstring fileName;
  std::wstring installPath;
  std::vector<RegistryLocation> registryLocations;
  std::wstring arguments;
  std::wstring progId;
  std::vector<std::wstring> parameters;
  std::int32_t comRegRequired = 0;
  std::int32_t asmRegRequired = 0;
  std::int32_t executionRequired = 0;
  std::int32_t installed = 0;
  BackupRecord backup;
  std::int32_t backedUp = 0;
  std::wstring conditionRef;
};

}  // namespace qz
