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

std::optional<std::uint64_t> FakeDeployment::GetFileLastWriteTime(const std::wstring& path) {
  const auto it = writeTimes.find(Fold(path));
  if (it == writeTimes.end()) return std::nullopt;
  return it->second;
}

bool FakeDeployment::WriteStdOutput(const std::string& bytes) {
  output += bytes;
  return true;
}

}  // namespace qz::fake
