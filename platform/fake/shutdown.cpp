// The fake token and restart request.
#include "platform/fake/fake_platform.h"
#include "platform/errors.h"

namespace qz::fake {

namespace {
constexpr Handle kToken = 0x500;
constexpr port::Luid kShutdownLuid = 19;
}  // namespace

bool FakeShutdown::OpenProcessToken(DWORD access, Handle& token) {
  tokenAccess = access;
  if (!tokenOpens) return false;
  token = kToken;
  ++open_;
  return true;
}

bool FakeShutdown::CloseHandle(Handle token) {
  if (token != kToken || open_ == 0) return false;
  --open_;
  return true;
}

bool FakeShutdown::LookupPrivilegeValueW(const std::wstring& name, port::Luid& luid) {
  privilege = name;
  luid = kShutdownLuid;
  return name == L"SeShutdownPrivilege";
}

bool FakeShutdown::AdjustTokenPrivileges(Handle token, port::Luid luid, DWORD attributes,
                                         DWORD& lastError) {
  adjustedAttributes = attributes;
  if (token != kToken || luid != kShutdownLuid || adjustFails) {
    lastError = 6;  // ERROR_INVALID_HANDLE
    return false;
  }
  // As Windows does: success, but the privilege the token lacks is not
  // enabled and the last error says so.
  lastError = privilegeHeld ? 0 : port::kErrorNotAllAssigned;
  return true;
}

bool FakeShutdown::ExitWindowsEx(unsigned flags, DWORD reason) {
  if (exitWindowsRefused) return false;
  restarts.emplace_back(flags, reason);
  return true;
}

}  // namespace qz::fake
