// The service control manager over advapi32, with narrow names.
#include <windows.h>

#include <vector>

#include "platform/win32/driver_patch_adapters.h"

namespace qz::win32 {

namespace {

SC_HANDLE ToSc(port::Handle h) { return reinterpret_cast<SC_HANDLE>(h); }
port::Handle FromSc(SC_HANDLE h) { return reinterpret_cast<port::Handle>(h); }

class Win32Services : public port::Services {
 public:
  port::Handle OpenSCManagerA(port::DWORD access) override {
    return FromSc(::OpenSCManagerA(nullptr, nullptr, access));
  }

  port::Handle OpenServiceA(port::Handle manager, const std::string& name,
                            port::DWORD access) override {
    return FromSc(::OpenServiceA(ToSc(manager), name.c_str(), access));
  }

  bool QueryServiceConfigA(port::Handle service, port::DWORD bufferBytes, std::string& binaryPath,
                           port::DWORD& bytesNeeded) override {
    // DWORD-aligned, and at least the record itself.
    std::vector<DWORD> buffer((bufferBytes + sizeof(DWORD) - 1) / sizeof(DWORD) + 1);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    DWORD needed = 0;
    if (!::QueryServiceConfigA(ToSc(service), config, bufferBytes, &needed)) {
      bytesNeeded = needed;
      return false;
    }
    binaryPath = config->lpBinaryPathName ? config->lpBinaryPathName : "";
    return true;
  }

  bool QueryServiceStatus(port::Handle service, port::ServiceStatus& status) override {
    SERVICE_STATUS raw = {};
    if (!::QueryServiceStatus(ToSc(service), &raw)) return false;
    status = {raw.dwCurrentState, raw.dwCheckPoint, raw.dwWaitHint};
    return true;
  }

  bool ControlService(port::Handle service, port::DWORD control) override {
    SERVICE_STATUS raw = {};
    return ::ControlService(ToSc(service), control, &raw) != FALSE;
  }

  bool DeleteService(port::Handle service) override {
    return ::DeleteService(ToSc(service)) != FALSE;
  }

  bool StartServiceA(port::Handle service) override {
    return ::StartServiceA(ToSc(service), 0, nullptr) != FALSE;
  }

  bool QueryServiceStatusEx(port::Handle service, port::ServiceStatus& status) override {
    SERVICE_STATUS_PROCESS raw = {};
    DWORD needed = 0;
    if (!::QueryServiceStatusEx(ToSc(service), SC_STATUS_PROCESS_INFO,
                                reinterpret_cast<BYTE*>(&raw), sizeof raw, &needed)) {
      return false;
    }
    status = {raw.dwCurrentState, raw.dwCheckPoint, raw.dwWaitHint};
    return true;
  }

  bool CloseServiceHandle(port::Handle handle) override {
    return ::CloseServiceHandle(ToSc(handle)) != FALSE;
  }

  port::DWORD GetLastError() override { return ::GetLastError(); }
};

}  // namespace

std::unique_ptr<port::Services> MakeServices() { return std::make_unique<Win32Services>(); }

}  // namespace qz::win32
