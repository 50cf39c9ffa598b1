// A fake service control manager: services by name with a scripted start,
// and a record of every call.
#pragma once
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/services.h"

namespace qz::fake {

class FakeServices : public port::Services {
 public:
  struct Service {
    std::string binaryPath;
    port::DWORD state = 1;  // SERVICE_STOPPED
    bool startFails = false;
    // What the QueryServiceStatusEx calls after a start answer, in turn;
    // the last one repeats. Empty: running at once.
    std::vector<port::ServiceStatus> afterStart;
    bool deleteFails = false;
  };
  std::map<std::string, Service> services;
  std::set<port::DWORD> refusedManagerAccess;  // OpenSCManagerA fails for these
  std::optional<int> managerOpensLeft;         // then OpenSCManagerA fails
  std::vector<std::string> calls;              // "Name argument", in order
  std::set<std::string> deleted;
  std::size_t OpenHandles() const { return open_.size(); }

  port::Result<port::ServiceHandle> OpenSCManagerA(port::DWORD access) override;
  port::Result<port::ServiceHandle> OpenServiceA(port::ServiceHandle manager,
                                                 const std::string& name,
                                                 port::DWORD access) override;
  port::Result<port::ServiceConfig> QueryServiceConfigA(port::ServiceHandle service,
                                                        port::DWORD bufferBytes) override;
  port::Result<port::ServiceStatus> QueryServiceStatus(port::ServiceHandle service) override;
  port::Status ControlService(port::ServiceHandle service, port::DWORD control) override;
  port::Status DeleteService(port::ServiceHandle service) override;
  port::Status StartServiceA(port::ServiceHandle service) override;
  port::Result<port::ServiceStatus> QueryServiceStatusEx(port::ServiceHandle service) override;
  port::Status CloseServiceHandle(port::ServiceHandle handle) override;

 private:
  Service* Find(port::ServiceHandle handle);
  std::map<port::ServiceHandle, std::string> open_;  // "" for a manager handle
  std::map<std::string, std::size_t> queries_;
  std::uintptr_t next_ = 0x500;
};

}  // namespace qz::fake
