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

  port::Result<port::Handle> OpenSCManagerA(port::DWORD access) override;
  port::Result<port::Handle> OpenServiceA(port::Handle manager, const std::string& name,
                                          port::DWORD access) override;
  port::Result<port::ServiceConfig> QueryServiceConfigA(port::Handle service,
                                                        port::DWORD bufferBytes) override;
  port::Result<port::ServiceStatus> QueryServiceStatus(port::Handle service) override;
  port::Status ControlService(port::Handle service, port::DWORD control) override;
  port::Status DeleteService(port::Handle service) override;
  port::Status StartServiceA(port::Handle service) override;
  port::Result<port::ServiceStatus> QueryServiceStatusEx(port::Handle service) override;
  bool CloseServiceHandle(port::Handle handle) override;

 private:
  Service* Find(port::Handle handle);
  std::map<port::Handle, std::string> open_;  // "" for a manager handle
  std::map<std::string, std::size_t> queries_;
  port::Handle next_ = 0x500;
};

}  // namespace qz::fake
