// QZOperatingSystem: the version the system reports to this process.
#include <cstdio>

#include "classes.h"
#include "dispatch.h"

namespace qzk {
namespace {

bool isWow64() {
  // Newer than Windows 2000: look it up.
  typedef BOOL(WINAPI * IsWow64ProcessFn)(HANDLE, PBOOL);
  IsWow64ProcessFn fn = systemFunction<IsWow64ProcessFn>(L"kernel32.dll", "IsWow64Process");
  BOOL wow = FALSE;
  return fn && fn(GetCurrentProcess(), &wow) && wow;
}

class OperatingSystem : public DispObject {
 public:
  OperatingSystem() {
    ZeroMemory(&info_, sizeof(info_));
    info_.dwOSVersionInfoSize = sizeof(info_);
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info_))) {
      // Systems before NT 4 SP6 know only the short record.
      ZeroMemory(&info_, sizeof(info_));
      info_.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
      GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info_));
    }
    property(L"MajorVersion", [this](const Args&, Result& r) { r.num(info_.dwMajorVersion); });
    property(L"MinorVersion", [this](const Args&, Result& r) { r.num(info_.dwMinorVersion); });
    property(L"BuildNumber",
             [this](const Args&, Result& r) { r.num(info_.dwBuildNumber & 0xFFFF); });
    property(L"PlatformId", [this](const Args&, Result& r) { r.num(info_.dwPlatformId); });
    property(L"ProductType", [this](const Args&, Result& r) { r.num(info_.wProductType); });
    property(L"SuiteMask", [this](const Args&, Result& r) { r.num(info_.wSuiteMask); });
    property(L"ServicePack", [this](const Args&, Result& r) { r.str(info_.szCSDVersion); });
    property(L"ServicePackMajor",
             [this](const Args&, Result& r) { r.num(info_.wServicePackMajor); });
    property(L"ServicePackMinor",
             [this](const Args&, Result& r) { r.num(info_.wServicePackMinor); });
    property(L"VersionString", [this](const Args&, Result& r) {
      wchar_t buf[48];
      swprintf(buf, 48, L"%lu.%lu.%lu", static_cast<unsigned long>(info_.dwMajorVersion),
               static_cast<unsigned long>(info_.dwMinorVersion),
               static_cast<unsigned long>(info_.dwBuildNumber & 0xFFFF));
      r.str(buf);
    });
    property(L"Is64Bit", [](const Args&, Result& r) { r.boolean(isWow64()); });
    property(L"IsServer", [this](const Args&, Result& r) {
      r.boolean(info_.wProductType == VER_NT_SERVER ||
                info_.wProductType == VER_NT_DOMAIN_CONTROLLER);
    });
    member(L"IsAtLeast", 1, 3, [this](const Args& a, Result& r) {
      unsigned long want[3] = {static_cast<unsigned long>(a.num(0)),
                               static_cast<unsigned long>(a.num(1, 0)),
                               static_cast<unsigned long>(a.num(2, 0))};
      unsigned long have[3] = {info_.dwMajorVersion, info_.dwMinorVersion,
                               info_.dwBuildNumber & 0xFFFF};
      int cmp = 0;
      for (int i = 0; i < 3 && cmp == 0; ++i)
        if (have[i] != want[i]) cmp = have[i] < want[i] ? -1 : 1;
      r.boolean(cmp >= 0);
    });
    property(L"SystemLanguage", [](const Args&, Result& r) { r.num(GetSystemDefaultLangID()); });
    property(L"UserLanguage", [](const Args&, Result& r) { r.num(GetUserDefaultLangID()); });
    property(L"UILanguage", [](const Args&, Result& r) { r.num(GetUserDefaultUILanguage()); });
  }

 private:
  OSVERSIONINFOEXW info_;
};

}  // namespace

IDispatch* CreateOperatingSystem() { return new OperatingSystem(); }

}  // namespace qzk
