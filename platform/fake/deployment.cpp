#include "platform/fake/fake_platform.h"

namespace qz::fake {

port::Status FakeDeployment::CreateFileW(const std::wstring& path, DWORD desiredAccess, DWORD) {
  if ((desiredAccess & port::kGenericWrite) && runningImages.count(Fold(path))) {
    return port::Status::Failed(port::kErrorSharingViolation);
  }
  return port::Status::Ok();
}

port::Result<port::ProcessInformation> FakeDeployment::CreateProcessW(
    const std::wstring& applicationName, const std::wstring& commandLine,
    const std::wstring& directory,
    const std::vector<std::pair<std::wstring, std::wstring>>& childVariables) {
  currentDirectory = directory;
  variables = childVariables;
  if (!processes) return port::Result<port::ProcessInformation>::Failed(port::kErrorFileNotFound);
  return processes->CreateProcessW(applicationName, commandLine, 0);
}

port::Result<std::uint64_t> FakeDeployment::GetFileLastWriteTime(const std::wstring& path) {
  const auto it = writeTimes.find(Fold(path));
  if (it == writeTimes.end()) return port::Result<std::uint64_t>::Failed(port::kErrorFileNotFound);
  return port::Result<std::uint64_t>::Ok(it->second);
}

port::Result<std::array<std::uint16_t, 4>> FakeDeployment::GetFileVersionInfoW(
    const std::wstring& path) {
  const auto it = versions.find(Fold(path));
  if (it == versions.end()) {
    return port::Result<std::array<std::uint16_t, 4>>::Failed(port::kErrorResourceTypeNotFound);
  }
  return port::Result<std::array<std::uint16_t, 4>>::Ok(it->second);
}

port::Status FakeDeployment::WriteStdOutput(const std::string& bytes) {
  output += bytes;
  return port::Status::Ok();
}

}  // namespace qz::fake
