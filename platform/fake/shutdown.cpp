// The fake token and restart request.
#include "platform/fake/fake_platform.h"
#include "platform/errors.h"

namespace qz::fake {

namespace {
constexpr port::TokenHandle kToken{0x500};
constexpr port::Luid kShutdownLuid = 19;
}  // namespace

port::Result<port::TokenHandle> FakeShutdown::OpenProcessToken(DWORD access) {
  tokenAccess = access;
  if (!tokenOpens) return port::Result<port::TokenHandle>::Failed(port::kErrorAccessDenied);
  ++open_;
  return port::Result<port::TokenHandle>::Ok(kToken);
}

port::Status FakeShutdown::CloseHandle(port::TokenHandle token) {
  if (token != kToken || open_ == 0) return port::Status::Failed(port::kErrorInvalidHandle);
  --open_;
  return port::Status::Ok();
}

port::Result<port::Luid> FakeShutdown::LookupPrivilegeValueW(const std::wstring& name) {
  privilege = name;
  // ERROR_NO_SUCH_PRIVILEGE for any other name.
  if (name != L"SeShutdownPrivilege") return port::Result<port::Luid>::Failed(1313);
  return port::Result<port::Luid>::Ok(kShutdownLuid);
}

port::Result<DWORD> FakeShutdown::AdjustTokenPrivileges(port::TokenHandle token, port::Luid luid,
                                                        DWORD attributes) {
  adjustedAttributes = attributes;
  if (token != kToken || luid != kShutdownLuid || adjustFails) {
    return port::Result<DWORD>::Failed(port::kErrorInvalidHandle);
  }
  // As Windows does: success, but the privilege the token lacks is not
  // enabled and the last error says so.
  return port::Result<DWORD>::Ok(privilegeHeld ? 0 : port::kErrorNotAllAssigned);
}

port::Status FakeShutdown::ExitWindowsEx(unsigned flags, DWORD reason) {
  if (exitWindowsRefused) return port::Status::Failed(port::kErrorAccessDenied);
  restarts.emplace_back(flags, reason);
  return port::Status::Ok();
}

}  // namespace qz::fake
