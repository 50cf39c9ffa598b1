// The service control manager of the local machine, with narrow names.
#pragma once
#include <string>

#include "platform/errors.h"
#include "platform/handles.h"
#include "platform/types.h"

namespace qz::port {

// The part of SERVICE_STATUS / SERVICE_STATUS_PROCESS the core reads.
struct ServiceStatus {
  DWORD currentState = 0;
  DWORD checkPoint = 0;
  DWORD waitHint = 0;
};

inline constexpr DWORD kScManagerConnect = 0x0001;
inline constexpr DWORD kScManagerAllAccess = 0xF003F;
inline constexpr DWORD kServiceQueryConfig = 0x0001;
inline constexpr DWORD kServiceStopDeleteQuery = 0x10024;  // DELETE | STOP | QUERY_STATUS
inline constexpr DWORD kServiceAllAccess = 0xF01FF;
inline constexpr DWORD kServiceControlStop = 1;
inline constexpr DWORD kServiceStartPending = 2;
inline constexpr DWORD kServiceRunning = 4;

// QueryServiceConfigA's answer: the binary path, or on a buffer too small
// (kErrorInsufficientBuffer) the size the call asks for.
struct ServiceConfig {
  std::string binaryPath;
  DWORD bytesNeeded = 0;
};

// Every call says how it went; the code is the one the system gave right
// after it.
class Services {
 public:
  virtual ~Services() = default;
  // OpenSCManagerA on the local machine's active database.
  virtual Result<ServiceHandle> OpenSCManagerA(DWORD access) = 0;
  virtual Result<ServiceHandle> OpenServiceA(ServiceHandle manager, const std::string& name,
                                             DWORD access) = 0;
  // QueryServiceConfigA into a buffer of `bufferBytes`.
  virtual Result<ServiceConfig> QueryServiceConfigA(ServiceHandle service, DWORD bufferBytes) = 0;
  virtual Result<ServiceStatus> QueryServiceStatus(ServiceHandle service) = 0;
  virtual Status ControlService(ServiceHandle service, DWORD control) = 0;
  virtual Status DeleteService(ServiceHandle service) = 0;
  // StartServiceA without arguments.
  virtual Status StartServiceA(ServiceHandle service) = 0;
  // QueryServiceStatusEx with SC_STATUS_PROCESS_INFO.
  virtual Result<ServiceStatus> QueryServiceStatusEx(ServiceHandle service) = 0;
  virtual Status CloseServiceHandle(ServiceHandle handle) = 0;
};

using UniqueService = UniqueHandle<Services, &Services::CloseServiceHandle>;

}  // namespace qz::port
