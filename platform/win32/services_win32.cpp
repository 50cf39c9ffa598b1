// The service control manager over advapi32, with narrow names.
#include <windows.h>

#include <vector>

#include "platform/win32/driver_patch_adapters.h"

namespace qz::win32 {

namespace {

SC_HANDLE ToSc(port::ServiceHandle h) { return reinterpret_cast<SC_HANDLE>(h.value); }
port::ServiceHandle FromSc(SC_HANDLE h) { return {reinterpret_cast<std::uintptr_t>(h)}; }

template <typename T>
port::Result<T> Failed() {
  return port::Result<T>::Failed(::GetLastError());
}

port::Status StatusOf(BOOL ok) {
  return ok ? port::Status::Ok() : port::Status::Failed(::GetLastError());
}

class Win32Services : public port::Services {
 public:
  port::Result<port::ServiceHandle> OpenSCManagerA(port::DWORD access) override {
    const SC_HANDLE manager = ::OpenSCManagerA(nullptr, nullptr, access);
    return manager ? port::Result<port::ServiceHandle>::Ok(FromSc(manager))
                   : Failed<port::ServiceHandle>();
  }

  port::Result<port::ServiceHandle> OpenServiceA(port::ServiceHandle manager,
                                                 const std::string& name,
                                                 port::DWORD access) override {
    const SC_HANDLE service = ::OpenServiceA(ToSc(manager), name.c_str(), access);
    return service ? port::Result<port::ServiceHandle>::Ok(FromSc(service))
                   : Failed<port::ServiceHandle>();
  }

  port::Result<port::ServiceConfig> QueryServiceConfigA(port::ServiceHandle service,
                                                        port::DWORD bufferBytes) override {
    // DWORD-aligned, and at least the record itself.
    std::vector<DWORD> buffer((bufferBytes + sizeof(DWORD) - 1) / sizeof(DWORD) + 1);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    DWORD needed = 0;
    if (!::QueryServiceConfigA(ToSc(service), config, bufferBytes, &needed)) {
      const DWORD error = ::GetLastError();
      return port::Result<port::ServiceConfig>::Failed(error, {std::string(), needed});
    }
    return port::Result<port::ServiceConfig>::Ok(
        {config->lpBinaryPathName ? config->lpBinaryPathName : "", 0});
  }

  port::Result<port::ServiceStatus> QueryServiceStatus(port::ServiceHandle service) override {
    SERVICE_STATUS raw = {};
    if (!::QueryServiceStatus(ToSc(service), &raw)) return Failed<port::ServiceStatus>();
    return port::Result<port::ServiceStatus>::Ok(
        {raw.dwCurrentState, raw.dwCheckPoint, raw.dwWaitHint});
  }

  port::Status ControlService(port::ServiceHandle service, port::DWORD control) override {
    SERVICE_STATUS raw = {};
    return StatusOf(::ControlService(ToSc(service), control, &raw));
  }

  port::Status DeleteService(port::ServiceHandle service) override {
    return StatusOf(::DeleteService(ToSc(service)));
  }

  port::Status StartServiceA(port::ServiceHandle service) override {
    return StatusOf(::StartServiceA(ToSc(service), 0, nullptr));
  }

  port::Result<port::ServiceStatus> QueryServiceStatusEx(port::ServiceHandle service) override {
    SERVICE_STATUS_PROCESS raw = {};
    DWORD needed = 0;
    if (!::QueryServiceStatusEx(ToSc(service), SC_STATUS_PROCESS_INFO,
                                reinterpret_cast<BYTE*>(&raw), sizeof raw, &needed)) {
      return Failed<port::ServiceStatus>();
    }
    return port::Result<port::ServiceStatus>::Ok(
        {raw.dwCurrentState, raw.dwCheckPoint, raw.dwWaitHint});
  }

  port::Status CloseServiceHandle(port::ServiceHandle handle) override {
    return StatusOf(::CloseServiceHandle(ToSc(handle)));
  }
};

}  // namespace

std::unique_ptr<port::Services> MakeServices() { return std::make_unique<Win32Services>(); }

}  // namespace qz::win32
