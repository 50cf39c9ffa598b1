// QZDeviceUtil: DOS device names and the service control manager's view of
// services and kernel drivers (which driver patches replace).
#include <vector>

#include "classes.h"
#include "dispatch.h"

namespace qzk {
namespace {

class ScHandle {
 public:
  explicit ScHandle(SC_HANDLE h) : h_(h) {}
  ~ScHandle() {
    if (h_) CloseServiceHandle(h_);
  }
  ScHandle(const ScHandle&) = delete;
  ScHandle& operator=(const ScHandle&) = delete;
  SC_HANDLE get() const { return h_; }

 private:
  SC_HANDLE h_;
};

// Calls `fn` with the opened service, or returns false when it cannot be opened.
template <typename Fn>
bool withService(const std::wstring& name, DWORD access, Fn fn) {
  if (name.empty()) return false;
  ScHandle scm(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!scm.get()) return false;
  ScHandle svc(OpenServiceW(scm.get(), name.c_str(), access));
  if (!svc.get()) return false;
  return fn(svc.get());
}

// The service's configuration record, in a buffer that owns its strings.
bool serviceConfig(const std::wstring& name, std::vector<BYTE>* buf) {
  return withService(name, SERVICE_QUERY_CONFIG, [buf](SC_HANDLE svc) {
    DWORD need = 0;
    QueryServiceConfigW(svc, nullptr, 0, &need);
    if (need == 0) return false;
    buf->assign(need, 0);
    return QueryServiceConfigW(svc, reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buf->data()), need,
                               &need) != 0;
  });
}

std::wstring dosTarget(const std::wstring& name) {
  if (name.empty()) return std::wstring();
  for (DWORD size = 1024; size <= 65536; size *= 4) {
    std::vector<wchar_t> buf(size, L'\0');
    DWORD got = QueryDosDeviceW(name.c_str(), buf.data(), size);
    if (got) return std::wstring(buf.data());  // first target only
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
  }
  return std::wstring();
}

class DeviceUtil : public DispObject {
 public:
  DeviceUtil() {
    member(L"DosDeviceExists", 1, 1,
           [](const Args& a, Result& r) { r.boolean(!dosTarget(a.str(0)).empty()); });
    member(L"QueryDosDevice", 1, 1, [](const Args& a, Result& r) { r.str(dosTarget(a.str(0))); });
    member(L"ServiceExists", 1, 1, [](const Args& a, Result& r) {
      r.boolean(withService(a.str(0), SERVICE_QUERY_STATUS, [](SC_HANDLE) { return true; }));
    });
    member(L"ServiceState", 1, 1, [](const Args& a, Result& r) {
      SERVICE_STATUS st;
      ZeroMemory(&st, sizeof(st));
      bool ok = withService(a.str(0), SERVICE_QUERY_STATUS,
                            [&st](SC_HANDLE svc) { return QueryServiceStatus(svc, &st) != 0; });
      r.num(ok ? st.dwCurrentState : 0);
    });
    member(L"ServiceStartType", 1, 1, [](const Args& a, Result& r) {
      std::vector<BYTE> buf;
      r.num(serviceConfig(a.str(0), &buf)
                ? static_cast<double>(
                      reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buf.data())->dwStartType)
                : -1.0);
    });
    member(L"ServiceType", 1, 1, [](const Args& a, Result& r) {
      std::vector<BYTE> buf;
      r.num(serviceConfig(a.str(0), &buf)
                ? static_cast<double>(
                      reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buf.data())->dwServiceType)
                : 0.0);
    });
    member(L"ServiceBinaryPath", 1, 1, [](const Args& a, Result& r) {
      std::vector<BYTE> buf;
      const wchar_t* path = nullptr;
      if (serviceConfig(a.str(0), &buf))
        path = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buf.data())->lpBinaryPathName;
      r.str(path ? path : L"");
    });
    member(L"ServiceDisplayName", 1, 1, [](const Args& a, Result& r) {
      std::vector<BYTE> buf;
      const wchar_t* text = nullptr;
      if (serviceConfig(a.str(0), &buf))
        text = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buf.data())->lpDisplayName;
      r.str(text ? text : L"");
    });
  }
};

}  // namespace

IDispatch* CreateDeviceUtil() { return new DeviceUtil(); }

}  // namespace qzk
