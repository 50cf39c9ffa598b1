#include "platform/fake/services.h"

#include "platform/errors.h"

namespace qz::fake {

namespace {

using port::Result;
using port::ServiceConfig;
using port::ServiceStatus;
using port::Status;

}  // namespace

FakeServices::Service* FakeServices::Find(port::ServiceHandle handle) {
  auto it = open_.find(handle);
  if (it == open_.end() || it->second.empty()) return nullptr;
  auto service = services.find(it->second);
  return service == services.end() ? nullptr : &service->second;
}

Result<port::ServiceHandle> FakeServices::OpenSCManagerA(port::DWORD access) {
  calls.push_back("OpenSCManagerA " + std::to_string(access));
  if (refusedManagerAccess.count(access) || (managerOpensLeft && (*managerOpensLeft)-- <= 0)) {
    return Result<port::ServiceHandle>::Failed(port::kErrorAccessDenied);
  }
  const port::ServiceHandle manager{++next_};
  open_[manager] = "";
  return Result<port::ServiceHandle>::Ok(manager);
}

Result<port::ServiceHandle> FakeServices::OpenServiceA(port::ServiceHandle manager,
                                                       const std::string& name,
                                                       port::DWORD access) {
  using Opened = Result<port::ServiceHandle>;
  calls.push_back("OpenServiceA " + name + " " + std::to_string(access));
  if (!open_.count(manager)) return Opened::Failed(port::kErrorInvalidHandle);
  if (deleted.count(name)) return Opened::Failed(port::kErrorServiceMarkedForDelete);
  if (!services.count(name)) return Opened::Failed(port::kErrorServiceDoesNotExist);
  const port::ServiceHandle service{++next_};
  open_[service] = name;
  return Opened::Ok(service);
}

Result<ServiceConfig> FakeServices::QueryServiceConfigA(port::ServiceHandle service,
                                                        port::DWORD bufferBytes) {
  calls.push_back("QueryServiceConfigA " + std::to_string(bufferBytes));
  Service* s = Find(service);
  if (s == nullptr) return Result<ServiceConfig>::Failed(port::kErrorInvalidHandle);
  const port::DWORD needed = 36 + static_cast<port::DWORD>(s->binaryPath.size()) + 1;
  if (bufferBytes < needed) {
    return Result<ServiceConfig>::Failed(port::kErrorInsufficientBuffer, {std::string(), needed});
  }
  return Result<ServiceConfig>::Ok({s->binaryPath, 0});
}

Result<ServiceStatus> FakeServices::QueryServiceStatus(port::ServiceHandle service) {
  Service* s = Find(service);
  if (s == nullptr) return Result<ServiceStatus>::Failed(port::kErrorInvalidHandle);
  return Result<ServiceStatus>::Ok({s->state, 0, 0});
}

Status FakeServices::ControlService(port::ServiceHandle service, port::DWORD control) {
  calls.push_back("ControlService " + std::to_string(control));
  Service* s = Find(service);
  if (s == nullptr) return Status::Failed(port::kErrorInvalidHandle);
  if (s->state != port::kServiceRunning) return Status::Failed(port::kErrorServiceNotActive);
  s->state = 1;
  return Status::Ok();
}

Status FakeServices::DeleteService(port::ServiceHandle service) {
  calls.push_back("DeleteService");
  Service* s = Find(service);
  if (s == nullptr) return Status::Failed(port::kErrorInvalidHandle);
  if (s->deleteFails) return Status::Failed(port::kErrorAccessDenied);
  deleted.insert(open_[service]);
  return Status::Ok();
}

Status FakeServices::StartServiceA(port::ServiceHandle service) {
  calls.push_back("StartServiceA");
  Service* s = Find(service);
  if (s == nullptr) return Status::Failed(port::kErrorInvalidHandle);
  if (s->startFails) return Status::Failed(1053);  // ERROR_SERVICE_REQUEST_TIMEOUT
  queries_[open_[service]] = 0;
  s->state = s->afterStart.empty() ? port::kServiceRunning : s->afterStart.front().currentState;
  return Status::Ok();
}

Result<ServiceStatus> FakeServices::QueryServiceStatusEx(port::ServiceHandle service) {
  calls.push_back("QueryServiceStatusEx");
  Service* s = Find(service);
  if (s == nullptr) return Result<ServiceStatus>::Failed(port::kErrorInvalidHandle);
  if (s->afterStart.empty()) return Result<ServiceStatus>::Ok({s->state, 0, 0});
  std::size_t& turn = queries_[open_[service]];
  const ServiceStatus status =
      s->afterStart[turn < s->afterStart.size() ? turn : s->afterStart.size() - 1];
  ++turn;
  s->state = status.currentState;
  return Result<ServiceStatus>::Ok(status);
}

Status FakeServices::CloseServiceHandle(port::ServiceHandle handle) {
  return open_.erase(handle) == 1 ? Status::Ok() : Status::Failed(port::kErrorInvalidHandle);
}

}  // namespace qz::fake
