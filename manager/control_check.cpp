// CheckControl makes sure the scripting diagnostics control that every rule
// script creates is registered: when its class cannot be created, the copy
// beside the manager goes into a folder under Program Files and registers
// itself there (RegisterDll). Neither ever fails the run.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "manager/manager.h"
#include "manager/registry_text.h"

namespace qz {

namespace {

constexpr wchar_t kClass[] = L"CVRNManager";
constexpr wchar_t kCheckControl[] = L"CVRNManager:CheckControl";
constexpr wchar_t kRegisterDll[] = L"CVRNManager:RegisterDll";

constexpr wchar_t kControlProgId[] = L"QZKelvaDiags.QZRegUtil";
constexpr wchar_t kControlFile[] = L"qzkdiag.dll";
constexpr wchar_t kVersionKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr wchar_t kProgramFilesValue[] = L"ProgramFilesDir";

// The first read uses the historical buffer; a longer value is read again
// with the size the registry asks for, up to a bound no folder path needs.
constexpr port::DWORD kFirstReadBytes = 255;
constexpr port::DWORD kMostReadBytes = 65536;
constexpr int kReadAttempts = 4;

// Other value types than strings are no folder name.
std::optional<std::wstring> StringValue(port::DWORD type,
                                        const std::vector<std::uint8_t>& data) {
  if (type != port::kRegSz && type != port::kRegExpandSz) return std::nullopt;
  return RegistryText(data);
}

// ProgramFilesDir, whatever its length; nothing when it cannot be read, is
// not a string or is empty.
std::optional<std::wstring> ReadProgramFilesDir(port::Registry& registry,
                                                port::Handle key) {
  port::DWORD bufferBytes = kFirstReadBytes;
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    port::DWORD type = 0;
    port::DWORD requiredBytes = 0;
    std::vector<std::uint8_t> data;
    const port::LONG status = registry.RegQueryValueExW(
        key, kProgramFilesValue, bufferBytes, type, data, requiredBytes);
    if (status == port::kErrorMoreData) {
      // The value may change between two reads: ask again with its new size.
      if (requiredBytes <= bufferBytes || requiredBytes > kMostReadBytes) {
        return std::nullopt;
      }
      bufferBytes = requiredBytes;
      continue;
    }
    if (status != port::kErrorSuccess) return std::nullopt;
    auto text = StringValue(type, data);
    if (!text || text->empty()) return std::nullopt;
    return text;
  }
  return std::nullopt;
}

}  // namespace

void CVRNManager::CheckControl() {
  LogStarted(kClass, L"CheckControl");

  port::Clsid clsid{};
  if (os_.com.CLSIDFromProgID(kControlProgId, clsid) >= 0 &&
      os_.com.CoCreateInstance(clsid) >= 0) {
    return;
  }

  if (!os_.files.FindFirstFileW(kControlFile)) {
    WriteLog(kCheckControl, L"qzkdiag.dll:", L"not found");
    return;
  }

  std::optional<std::wstring> programFiles;
  {
    port::UniqueKey version(os_.registry);
    if (os_.registry.RegOpenKeyExW(kVersionKey, port::kKeyRead, version.Put()) !=
        port::kErrorSuccess) {
      WriteLog(kCheckControl, L"registry key:", L"not found");
      WriteLog(kCheckControl, L"registry sub key:", L"not found");
      return;
    }
    programFiles = ReadProgramFilesDir(os_.registry, version.Get());
  }
  if (!programFiles) {
    WriteLog(kCheckControl, L"registry sub key:", L"not found");
    return;
  }

  // Joined with one backslash, also when the value ends in one ("C:\").
  std::wstring folder = *programFiles;
  while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  // Each level may exist already; a failed creation shows in the copy.
  for (const wchar_t* level : {L"\\QZ", L"\\temp", L"\\VRNU"}) {
    folder += level;
    os_.files.CreateDirectoryW(folder);
  }
  const std::wstring target = folder + L"\\" + kControlFile;

  if (os_.files.CopyFileW(kControlFile, target, false)) {
    WriteLog(kCheckControl, L"qzkdiag.dll Copied:", L"Successfully");
  } else {
    WriteLog(kCheckControl, L"qzkdiag.dll Copy:", L"Failed");
  }
  // Whatever lies at the target now (an older copy held open, say) is
  // still worth registering.
  RegisterDll(target);
  LogEnded(kClass, L"CheckControl");
}

bool CVRNManager::RegisterDll(const std::wstring& path) {
  try {
    LogStarted(kClass, L"RegisterDll");
    bool registered = false;
    {
      const port::UniqueModule library(os_.modules, os_.modules.LoadLibraryW(path));
      const std::optional<port::HRESULT> hr =
          library.Valid() && os_.modules.GetProcAddress(library.Get(), "DllRegisterServer")
              ? os_.modules.DllRegisterServer(library.Get())
              : std::nullopt;
      if (!hr) {
        WriteLog(kRegisterDll, L"Could not find DLLRegisterServer", L"Error");
      } else if (*hr >= 0) {
        WriteLog(kRegisterDll, path, L": Registered");
        registered = true;
      } else {
        WriteLog(kRegisterDll, path, L": Error while Registering");
      }
    }
    LogEnded(kClass, L"RegisterDll");
    return registered;
  } catch (...) {
    WriteLog(kRegisterDll, L"Exception occured", L"Error");
    return false;
  }
}

}  // namespace qz
