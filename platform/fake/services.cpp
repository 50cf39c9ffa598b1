#include "platform/fake/services.h"
#include "platform/errors.h"

namespace qz::fake {

namespace {}  // namespace

FakeServices::Service* FakeServices::Find(port::Handle handle) {
  auto it = open_.find(handle);
  if (it == open_.end() || it->second.empty()) {
    lastError_ = port::kErrorInvalidHandle;
    return nullptr;
  }
  auto service = services.find(it->second);
  return service == services.end() ? nullptr : &service->second;
}

port::Handle FakeServices::OpenSCManagerA(port::DWORD access) {
  calls.push_back("OpenSCManagerA " + std::to_string(access));
  if (refusedManagerAccess.count(access) || (managerOpensLeft && (*managerOpensLeft)-- <= 0)) {
    lastError_ = 5;  // ERROR_ACCESS_DENIED
    return 0;
  }
  open_[++next_] = "";
  return next_;
}

port::Handle FakeServices::OpenServiceA(port::Handle manager, const std::string& name,
                                        port::DWORD access) {
  calls.push_back("OpenServiceA " + name + " " + std::to_string(access));
  if (!open_.count(manager)) {
    lastError_ = port::kErrorInvalidHandle;
    return 0;
  }
  if (!services.count(name) || deleted.count(name)) {
    lastError_ =
        deleted.count(name) ? port::kErrorServiceMarkedForDelete : port::kErrorServiceDoesNotExist;
    return 0;
  }
  open_[++next_] = name;
  return next_;
}

bool FakeServices::QueryServiceConfigA(port::Handle service, port::DWORD bufferBytes,
                                       std::string& binaryPath, port::DWORD& bytesNeeded) {
  calls.push_back("QueryServiceConfigA " + std::to_string(bufferBytes));
  Service* s = Find(service);
  if (s == nullptr) return false;
  const port::DWORD needed = 36 + static_cast<port::DWORD>(s->binaryPath.size()) + 1;
  if (bufferBytes < needed) {
    bytesNeeded = needed;
    lastError_ = port::kErrorInsufficientBuffer;
    return false;
  }
  binaryPath = s->binaryPath;
  return true;
}

bool FakeServices::QueryServiceStatus(port::Handle service, port::ServiceStatus& status) {
  Service* s = Find(service);
  if (s == nullptr) return false;
  status = {s->state, 0, 0};
  return true;
}

bool FakeServices::ControlService(port::Handle service, port::DWORD control) {
  calls.push_back("ControlService " + std::to_string(control));
  Service* s = Find(service);
  if (s == nullptr) return false;
  if (s->state != port::kServiceRunning) {
    lastError_ = port::kErrorServiceNotActive;
    return false;
  }
  s->state = 1;
  return true;
}

bool FakeServices::DeleteService(port::Handle service) {
  calls.push_back("DeleteService");
  Service* s = Find(service);
  if (s == nullptr) return false;
  if (s->deleteFails) {
    lastError_ = 5;
    return false;
  }
  deleted.insert(open_[service]);
  return true;
}

bool FakeServices::StartServiceA(port::Handle service) {
  calls.push_back("StartServiceA");
  Service* s = Find(service);
  if (s == nullptr) return false;
  if (s->startFails) {
    lastError_ = 1053;
    return false;
  }
  queries_[open_[service]] = 0;
  s->state = s->afterStart.empty() ? port::kServiceRunning : s->afterStart.front().currentState;
  return true;
}

bool FakeServices::QueryServiceStatusEx(port::Handle service, port::ServiceStatus& status) {
  calls.push_back("QueryServiceStatusEx");
  Service* s = Find(service);
  if (s == nullptr) return false;
  if (s->afterStart.empty()) {
    status = {s->state, 0, 0};
    return true;
  }
  std::size_t& turn = queries_[open_[service]];
  status = s->afterStart[turn < s->afterStart.size() ? turn : s->afterStart.size() - 1];
  ++turn;
  s->state = status.currentState;
  return true;
}

bool FakeServices::CloseServiceHandle(port::Handle handle) { return open_.erase(handle) == 1; }

}  // namespace qz::fake
