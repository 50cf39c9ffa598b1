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

class Services {
 public:
  virtual ~Services() = default;
  // OpenSCManagerA on the local machine's active database; 0 on failure.
  virtual Handle OpenSCManagerA(DWORD access) = 0;
  // 0 on failure (GetLastError tells why).
  virtual Handle OpenServiceA(Handle manager, const std::string& name, DWORD access) = 0;
  // QueryServiceConfigA into a buffer of `bufferBytes`: on success the
  // binary path; on failure `bytesNeeded` as the call reports it.
  virtual bool QueryServiceConfigA(Handle service, DWORD bufferBytes, std::string& binaryPath,
                                   DWORD& bytesNeeded) = 0;
  virtual bool QueryServiceStatus(Handle service, ServiceStatus& status) = 0;
  virtual bool ControlService(Handle service, DWORD control) = 0;
  virtual bool DeleteService(Handle service) = 0;
  // StartServiceA without arguments.
  virtual bool StartServiceA(Handle service) = 0;
  // QueryServiceStatusEx with SC_STATUS_PROCESS_INFO.
  virtual bool QueryServiceStatusEx(Handle service, ServiceStatus& status) = 0;
  virtual bool CloseServiceHandle(Handle handle) = 0;
  // The last error of the calling thread, right after a failed call above.
  virtual DWORD GetLastError() = 0;
};

using UniqueService = UniqueHandle<Services, &Services::CloseServiceHandle>;

}  // namespace qz::port
