// QZSystemBoardInfo: the machine: name, processors, memory and the firmware
// data Windows keeps under HKLM\HARDWARE\DESCRIPTION.
#include "classes.h"
#include "dispatch.h"
#include "registry.h"

namespace qzk {
namespace {

SYSTEM_INFO nativeSystemInfo() {
  SYSTEM_INFO si;
  ZeroMemory(&si, sizeof(si));
  // GetNativeSystemInfo is newer than Windows 2000; it differs only under WOW64.
  typedef void(WINAPI * NativeFn)(LPSYSTEM_INFO);
  NativeFn fn = systemFunction<NativeFn>(L"kernel32.dll", "GetNativeSystemInfo");
  if (fn)
    fn(&si);
  else
    GetSystemInfo(&si);
  return si;
}

std::wstring hardwareString(const wchar_t* path, const wchar_t* name) {
  std::wstring out;
  RegKey key(HKEY_LOCAL_MACHINE, path);
  if (!key.readMultiString(name, L" ", &out)) out.clear();
  // Processor names come padded with blanks.
  size_t first = out.find_first_not_of(L' ');
  return first == std::wstring::npos ? std::wstring() : out.substr(first);
}

const wchar_t kSystemKey[] = L"HARDWARE\\DESCRIPTION\\System";
const wchar_t kBiosKey[] = L"HARDWARE\\DESCRIPTION\\System\\BIOS";
const wchar_t kCpuKey[] = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";

class SystemBoardInfo : public DispObject {
 public:
  SystemBoardInfo() {
    property(L"ComputerName", [](const Args&, Result& r) {
      wchar_t buf[MAX_COMPUTERNAME_LENGTH + 1] = {};
      DWORD len = MAX_COMPUTERNAME_LENGTH + 1;
      r.str(GetComputerNameW(buf, &len) ? std::wstring(buf, len) : std::wstring());
    });
    property(L"UserName", [](const Args&, Result& r) {
      wchar_t buf[257] = {};
      DWORD len = 257;
      r.str(GetUserNameW(buf, &len) ? std::wstring(buf) : std::wstring());
    });
    property(L"ProcessorCount",
             [](const Args&, Result& r) { r.num(nativeSystemInfo().dwNumberOfProcessors); });
    property(L"ProcessorArchitecture",
             [](const Args&, Result& r) { r.num(nativeSystemInfo().wProcessorArchitecture); });
    property(L"ProcessorLevel",
             [](const Args&, Result& r) { r.num(nativeSystemInfo().wProcessorLevel); });
    property(L"ProcessorRevision",
             [](const Args&, Result& r) { r.num(nativeSystemInfo().wProcessorRevision); });
    property(L"ProcessorName", [](const Args&, Result& r) {
      r.str(hardwareString(kCpuKey, L"ProcessorNameString"));
    });
    property(L"ProcessorVendor",
             [](const Args&, Result& r) { r.str(hardwareString(kCpuKey, L"VendorIdentifier")); });
    property(L"TotalMemory", [](const Args&, Result& r) {
      MEMORYSTATUSEX ms;
      ZeroMemory(&ms, sizeof(ms));
      ms.dwLength = sizeof(ms);
      r.num(GlobalMemoryStatusEx(&ms) ? static_cast<double>(ms.ullTotalPhys) : 0.0);
    });
    property(L"AvailableMemory", [](const Args&, Result& r) {
      MEMORYSTATUSEX ms;
      ZeroMemory(&ms, sizeof(ms));
      ms.dwLength = sizeof(ms);
      r.num(GlobalMemoryStatusEx(&ms) ? static_cast<double>(ms.ullAvailPhys) : 0.0);
    });
    property(L"BiosVersion", [](const Args&, Result& r) {
      r.str(hardwareString(kSystemKey, L"SystemBiosVersion"));
    });
    property(L"BiosDate",
             [](const Args&, Result& r) { r.str(hardwareString(kSystemKey, L"SystemBiosDate")); });
    property(L"SystemManufacturer", [](const Args&, Result& r) {
      r.str(hardwareString(kBiosKey, L"SystemManufacturer"));
    });
    property(L"SystemProductName",
             [](const Args&, Result& r) { r.str(hardwareString(kBiosKey, L"SystemProductName")); });
    property(L"BaseBoardManufacturer", [](const Args&, Result& r) {
      r.str(hardwareString(kBiosKey, L"BaseBoardManufacturer"));
    });
    property(L"BaseBoardProduct",
             [](const Args&, Result& r) { r.str(hardwareString(kBiosKey, L"BaseBoardProduct")); });
  }
};

}  // namespace

IDispatch* CreateSystemBoardInfo() { return new SystemBoardInfo(); }

}  // namespace qzk
