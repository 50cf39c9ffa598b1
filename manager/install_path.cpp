// Where each update entry goes (LocateAndVerifyInstallPath, from the
// registry through ReturnRegistryPath) and that its patch file lies beside
// the manager (VerifySourceFilesPath). Both run before anything changes.
#include <cstdint>
#include <vector>

#include "manager/manager.h"
#include "manager/patch_names.h"
#include "common/registry_text.h"

namespace qz {

namespace {

constexpr wchar_t kClass[] = L"CVRNManager";
constexpr wchar_t kLocate[] = L"CVRNManager:LocateAndVerifyInstallPath";
constexpr wchar_t kReturnRegistryPath[] = L"CVRNManager:ReturnRegistryPath";
constexpr wchar_t kVerify[] = L"CVRNManager:VerifySourceFilesPath";

// The folder is read into 256 bytes with a limit of 255: a longer value
// does not fit and counts as unreadable.
constexpr port::DWORD kValueBytes = 255;

// The two handlers both steps guard their work with.
template <typename Body>
bool Guarded(CVRNManager& m, const wchar_t* source, Body body) {
  try {
    return body();
  } catch (_error e) {
    m.WriteLog(source, L"error :", L"failed");
    throw;
  } catch (...) {
    m.WriteLog(source, L"Error:", L"failed");
    throw errGeneralFailure;
  }
}

}  // namespace

bool CVRNManager::LocateAndVerifyInstallPath() {
  return Guarded(*this, kLocate, [this] {
    LogStarted(kClass, L"LocateAndVerifyInstallPath");
    std::wstring path;
    for (UpdateEntry& entry : m_updateEntries) {
      // Program and plug-in entries install nothing.
      if (entry.executionRequired || !entry.progId.empty()) continue;
      // A relative part that climbs out of the folder the registry names
      // would install into a folder of the patch's choosing.
      for (const RegistryLocation& location : entry.registryLocations) {
        if (!IsSafeRelativePath(location.relativePath)) {
          WriteLog(kLocate, L"Install path not allowed: " + location.relativePath, L"Failed");
          return false;
        }
      }
      bool found = false;
      for (const RegistryLocation& location : entry.registryLocations) {
        if (ReturnRegistryPath(location.subKey, location.valueName, location.relativePath, path)) {
          found = true;
          break;
        }
      }
      if (!found) return false;
      entry.installPath = path;
    }
    return true;
  });
}

namespace {

enum class Lookup { kKeyAbsent, kValueAbsent, kNoFolder, kMissing, kFound };

// One registry location read and joined, without a log entry; `path` gets
// the joined text (kMissing, kFound) and is left alone otherwise.
Lookup LookUp(port::Platform& os, const std::wstring& subKey, const std::wstring& valueName,
              const std::wstring& relativePath, std::wstring& path) {
  std::vector<std::uint8_t> data;
  {
    const port::Result<port::KeyHandle> opened = os.registry.RegOpenKeyExW(subKey, port::kKeyRead);
    const port::UniqueKey key(os.registry, opened.value);
    if (!opened) return Lookup::kKeyAbsent;
    port::Result<port::RegistryValue> read =
        os.registry.RegQueryValueExW(key.Get(), valueName, kValueBytes);
    if (!read) return Lookup::kValueAbsent;
    data = std::move(read.value.data);
  }
  const std::wstring folder = RegistryText(data);
  // An empty value names no folder: joined with a relative path it would
  // point at the root of the current drive.
  if (folder.empty()) return Lookup::kNoFolder;
  path = folder;
  if (!relativePath.empty()) {
    if (path.back() != L'\\') path += L'\\';
    path += relativePath;
  }
  return os.files.AnyMatch(path) ? Lookup::kFound : Lookup::kMissing;
}

}  // namespace

std::wstring CVRNManager::FindInstallPath(const UpdateEntry& entry) {
  for (const RegistryLocation& location : entry.registryLocations) {
    if (!IsSafeRelativePath(location.relativePath)) return {};
  }
  for (const RegistryLocation& location : entry.registryLocations) {
    std::wstring path;
    if (LookUp(os_, location.subKey, location.valueName, location.relativePath, path) ==
        Lookup::kFound) {
      return path;
    }
  }
  return {};
}

bool CVRNManager::ReturnRegistryPath(const std::wstring& subKey, const std::wstring& valueName,
                                     std::wstring relativePath, std::wstring& path) {
  LogStarted(kClass, L"ReturnRegistryPath");
  switch (LookUp(os_, subKey, valueName, relativePath, path)) {
    case Lookup::kKeyAbsent:
      WriteLog(kReturnRegistryPath, L"Registry Key:", L"Absent");
      return false;
    case Lookup::kValueAbsent:
      WriteLog(kReturnRegistryPath, subKey, valueName);
      WriteLog(kReturnRegistryPath, L"Registry Sub Key:", L"Absent");
      WriteLog(kReturnRegistryPath, L"Destination instal path:", L"not found");
      return false;
    case Lookup::kNoFolder:
      WriteLog(kReturnRegistryPath, L"Destination instal path:", L"not found");
      return false;
    case Lookup::kMissing:
      WriteLog(kReturnRegistryPath, L"Destination patch Path:", path);
      WriteLog(kReturnRegistryPath, L"Destination instal path:", L"not found");
      return false;
    case Lookup::kFound: break;
  }
  WriteLog(kReturnRegistryPath, L"Destination patch Path:", path);
  LogEnded(kClass, L"ReturnRegistryPath");
  return true;
}

bool CVRNManager::VerifySourceFilesPath() {
  return Guarded(*this, kVerify, [this] {
    LogStarted(kClass, L"VerifySourceFilesPath");
    for (const UpdateEntry& entry : m_updateEntries) {
      // A name that leaves the patch folder would install, run or delete
      // something the patch does not own.
      if (!entry.fileName.empty() && !StaysInsideFolder(entry.fileName)) {
        WriteLog(kVerify, L"Patch file name not allowed: " + entry.fileName, L"Failed");
        return false;
      }
      if (entry.fileName.empty() || !os_.files.AnyMatch(m_sourceFolder + L"\\" + entry.fileName)) {
        return false;
      }
    }
    LogEnded(kClass, L"VerifySourceFilesPath");
    return true;
  });
}

}  // namespace qz
