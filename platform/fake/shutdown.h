// FakeShutdown: the Shutdown port (platform/shutdown.h) in memory, for the native unit tests.
#pragma once
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "platform/fake/fold.h"
#include "platform/shutdown.h"

namespace qz::fake {

// Stands in for the token and ExitWindowsEx: records the restart asked for.
class FakeShutdown : public port::Shutdown {
 public:
  bool tokenOpens = true;
  bool privilegeHeld = true;  // else AdjustTokenPrivileges leaves 1300
  bool adjustFails = false;
  bool exitWindowsRefused = false;
  DWORD tokenAccess = 0;
  std::wstring privilege;
  DWORD adjustedAttributes = 0;
  std::vector<std::pair<unsigned, DWORD>> restarts;  // flags, reason
  std::size_t OpenTokens() const { return open_; }

  port::Result<port::TokenHandle> OpenProcessToken(DWORD access) override;
  port::Status CloseHandle(port::TokenHandle token) override;
  port::Result<port::Luid> LookupPrivilegeValueW(const std::wstring& name) override;
  port::Result<DWORD> AdjustTokenPrivileges(port::TokenHandle token, port::Luid luid,
                                            DWORD attributes) override;
  port::Status ExitWindowsEx(unsigned flags, DWORD reason) override;

 private:
  std::size_t open_ = 0;
};

}  // namespace qz::fake
