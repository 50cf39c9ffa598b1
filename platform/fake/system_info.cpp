// The fake system information.
#include "platform/fake/fake_platform.h"

namespace qz::fake {

port::Result<port::OsVersionInfo> FakeSystemInfo::GetVersionExW(DWORD recordSize) {
  using Read = port::Result<port::OsVersionInfo>;
  // Every refusal reads as a record size the system does not take.
  const bool refused = versionQueryFails || (recordSize == 284 && extendedRecordRejected) ||
                       (recordSize != 284 && recordSize != 276);
  if (refused) return Read::Failed(port::kErrorInsufficientBuffer);
  port::OsVersionInfo info = version;
  info.size = recordSize;
  if (recordSize == 276) info.productType = 0;
  return Read::Ok(info);
}

std::wstring FakeSystemInfo::MultiByteToWideChar(const std::string& ansi) { return W(ansi); }

port::Result<std::wstring> FakeSystemInfo::FormatMessageW(DWORD code) {
  auto it = systemMessages.find(code);
  if (it == systemMessages.end())
    return port::Result<std::wstring>::Failed(port::kErrorMrMidNotFound);
  return port::Result<std::wstring>::Ok(it->second);
}

}  // namespace qz::fake
