// The OS checks: IsSupportedOS refuses the Windows 9x family before
// anything is read; CheckOS holds the running system against the
// configured OSVERSION list. Both probe kernel32 rather than trusting
// version numbers for WOW64 and for "Vista or later".
#include <cstddef>
#include <string>

#include "manager/manager.h"
#include "manager/patch_names.h"
#include "common/text_compare.h"

namespace qz {

namespace {

constexpr wchar_t kClass[] = L"CVRNManager";
constexpr wchar_t kIsSupportedOS[] = L"CVRNManager:IsSupportedOS";
constexpr wchar_t kCheckOS[] = L"CVRNManager:CheckOS";
constexpr wchar_t kWow64[] = L"CVRNManager:QZIsWow64Process";
constexpr wchar_t kVista[] = L"CVRNManager:QZIsVistaOS";
constexpr wchar_t kInfo[] = L"Info";

constexpr port::DWORD kExtendedRecordSize = 284;  // OSVERSIONINFOEXW
constexpr port::DWORD kBasicRecordSize = 276;     // OSVERSIONINFOW
constexpr port::DWORD kPlatformWin32Nt = 2;       // VER_PLATFORM_WIN32_NT
constexpr std::uint8_t kNtWorkstation = 1;        // VER_NT_WORKSTATION

// Windows before XP SP2 rejects the extended record's size; the basic one
// then fills the same zeroed record, so its product type stays 0.
port::Result<port::OsVersionInfo> ReadVersion(port::SystemInfo& system) {
  const port::Result<port::OsVersionInfo> extended = system.GetVersionExW(kExtendedRecordSize);
  if (extended) return extended;
  return system.GetVersionExW(kBasicRecordSize);
}

struct Machine {
  port::DWORD major;
  port::DWORD minor;
  std::uint8_t productType;
  bool wow64;
  bool vista;
};

// One row of the supported-OS table, in the order rows are matched and
// tested.
struct OsRow {
  const wchar_t* configText;
  const wchar_t* supportedEntry;
  bool (*holds)(const Machine&);
  const wchar_t* updatedEntry;
};

const OsRow kRows[] = {
    {L"Windows 2000", L"Supports Windows 2000 OS in config",
     [](const Machine& m) { return m.major == 5 && m.minor == 0; },
     L"This patch is updated for Windows 2000"},
    {L"Windows XP (32bit)", L"Supports Windows XP 32 Bit OS in config",
     [](const Machine& m) { return m.major == 5 && m.minor == 1 && !m.wow64; },
     L"This patch is updated for Windows XP 32 Bit"},
    // 5.2 under WOW64 is XP x64 or Server 2003 x64; only the product type
    // tells them apart, and the basic record leaves it 0.
    {L"Windows XP (64bit)", L"Supports Windows XP 64 Bit OS in config",
     [](const Machine& m) {
       return m.major == 5 && m.minor == 2 && m.wow64 && m.productType == kNtWorkstation;
     },
     L"This patch is updated for Windows XP 64 Bit"},
    {L"Windows Server 2003 (32bit)", L"Supports Windows Server 2003 32 Bit OS in config",
     [](const Machine& m) { return m.major == 5 && m.minor == 2 && !m.wow64; },
     L"This patch is updated for Windows Server 2003 32 Bit"},
    {L"Windows Server 2003 (64bit)", L"Supports Windows Server 2003 64 Bit OS in config",
     [](const Machine& m) { return m.major == 5 && m.minor == 2 && m.wow64; },
     L"This patch is updated for Windows Server 2003 64 Bit"},
    // Vista and everything after it: the version numbers are not looked at,
    // since later systems may report 6.2 to a program without a manifest.
    {L"Windows Vista (32bit)", L"Supports Windows Vista 32 Bit OS in config",
     [](const Machine& m) { return m.vista && !m.wow64; },
     L"This patch is updated for Windows Vista 32 Bit"},
    {L"Windows Vista (64bit)", L"Supports Windows Vista 64 Bit OS in config",
     [](const Machine& m) { return m.vista && m.wow64; },
     L"This patch is updated for Windows Vista 64 Bit"},
};
constexpr std::size_t kRowCount = sizeof kRows / sizeof kRows[0];

}  // namespace

std::vector<std::wstring> KnownOsNames() {
  std::vector<std::wstring> names;
  for (const OsRow& row : kRows) names.push_back(row.configText);
  return names;
}

bool CVRNManager::IsSupportedOS() {
  LogStarted(kClass, L"IsSupportedOS");
  const port::Result<port::OsVersionInfo> read = ReadVersion(os_.system);
  if (!read) {
    WriteLog(kIsSupportedOS, L"GetVersionEx failed", L"Error");
    return false;
  }
  if (read.value.platformId == kPlatformWin32Nt) {
    LogEnded(kClass, L"IsSupportedOS");
    return true;
  }
  WriteLog(kIsSupportedOS, L"Windows ME/98/95", L"not supported");
  return false;
}

std::int32_t CVRNManager::QZIsWow64Process() {
  const port::UniqueModule kernel32(os_.modules, os_.modules.LoadLibraryW(L"kernel32.dll").value);
  if (!kernel32.Valid()) return 0;
  // Windows 2000 has no IsWow64Process: it cannot be running under WOW64.
  // A call that fails counts as no WOW64 too.
  const bool wow64 = os_.modules.IsWow64Process(kernel32.Get()).value;
  if (wow64) WriteLog(kWow64, L"Running under Wow64Process", kInfo);
  return wow64 ? 1 : 0;
}

bool CVRNManager::QZIsVistaOS() {
  const port::UniqueModule kernel32(os_.modules, os_.modules.LoadLibraryW(L"kernel32.dll").value);
  if (!kernel32.Valid()) return false;
  // GetLocaleInfoEx came with Vista; its presence is the test, never a call.
  const bool vista =
      static_cast<bool>(os_.modules.GetProcAddress(kernel32.Get(), "GetLocaleInfoEx"));
  if (vista) {
    WriteLog(kVista, L"This OS is greater than or equal to Vista OS. GetLocaleInfoEx found", kInfo);
  }
  return vista;
}

bool CVRNManager::CheckOS() {
  LogStarted(kClass, L"CheckOS");
  const port::Result<port::OsVersionInfo> read = ReadVersion(os_.system);
  if (!read) return false;
  const port::OsVersionInfo& version = read.value;
  WriteLog(kCheckOS,
           L"Local OSVersion = Major Version = " +
               std::to_wstring(static_cast<std::int32_t>(version.majorVersion)) +
               L", Minor Version = " +
               std::to_wstring(static_cast<std::int32_t>(version.minorVersion)),
           kInfo);

  bool supports[kRowCount] = {};
  for (const std::wstring& entry : m_osList) {
    for (std::size_t row = 0; row < kRowCount; ++row) {
      if (EqualsIgnoringCase(entry, kRows[row].configText)) {
        supports[row] = true;
        WriteLog(kCheckOS, kRows[row].supportedEntry, kInfo);
        break;
      }
    }
  }

  if (m_osList.empty()) {
    WriteLog(kCheckOS, L"Supports all OS from Windows 2000 onwards", kInfo);
    return true;
  }

  const bool wow64 = QZIsWow64Process() != 0;
  const bool vista = QZIsVistaOS();
  if (!wow64) WriteLog(kCheckOS, L"Not a Wow64 Process", kInfo);
  if (!vista) WriteLog(kCheckOS, L"Not a Vista OS", kInfo);

  if (version.platformId != kPlatformWin32Nt) {
    WriteLog(kCheckOS, L"Platform is not VER_PLATFORM_WIN32_NT", L"Failed");
    return false;
  }
  WriteLog(kCheckOS, L"Platform is VER_PLATFORM_WIN32_NT", kInfo);

  const Machine machine{version.majorVersion, version.minorVersion, version.productType, wow64,
                        vista};
  for (std::size_t row = 0; row < kRowCount; ++row) {
    if (supports[row] && kRows[row].holds(machine)) {
      WriteLog(kCheckOS, kRows[row].updatedEntry, kInfo);
      return true;
    }
  }
  WriteLog(kCheckOS, L"Check OS Failed. Not matched", L"Failed");
  return false;
}

}  // namespace qz
