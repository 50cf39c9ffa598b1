// The fake system information.
#include "platform/fake/fake_platform.h"

namespace qz::fake {

bool FakeSystemInfo::GetVersionExW(port::OsVersionInfo& info) {
  if (versionQueryFails) return false;
  if (info.size == 284 && extendedRecordRejected) return false;
  if (info.size != 284 && info.size != 276) return false;
  const DWORD size = info.size;
  info = version;
  info.size = size;
  if (size == 276) info.productType = 0;
  return true;
}

std::wstring FakeSystemInfo::MultiByteToWideChar(const std::string& ansi) { return W(ansi); }

std::optional<std::wstring> FakeSystemInfo::FormatMessageW(DWORD code) {
  auto it = systemMessages.find(code);
  if (it == systemMessages.end()) return std::nullopt;
  return it->second;
}

}  // namespace qz::fake
