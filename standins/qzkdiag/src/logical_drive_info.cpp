// QZLogicalDriveInfo: drive letters, types, sizes and volume data.
#include <vector>

#include "classes.h"
#include "dispatch.h"

namespace qzk {
namespace {

// "C", "c:" and "C:\" all name the root "C:\"; other texts get a trailing
// backslash (UNC roots need one).
std::wstring rootOf(const std::wstring& text) {
  std::wstring root = text;
  if (root.size() == 1) root += L':';
  if (!root.empty() && root[root.size() - 1] != L'\\') root += L'\\';
  return root;
}

// No "insert a disk" box for an empty floppy or CD drive.
class QuietErrors {
 public:
  QuietErrors() : old_(SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX)) {}
  ~QuietErrors() { SetErrorMode(old_); }

 private:
  UINT old_;
};

bool space(const std::wstring& root, ULARGE_INTEGER* freeToCaller, ULARGE_INTEGER* total) {
  if (root.empty()) return false;
  QuietErrors quiet;
  ULARGE_INTEGER freeAll;
  return GetDiskFreeSpaceExW(root.c_str(), freeToCaller, total, &freeAll) != 0;
}

bool volume(const std::wstring& root, std::wstring* label, std::wstring* fileSystem,
            DWORD* serial) {
  if (root.empty()) return false;
  QuietErrors quiet;
  wchar_t name[MAX_PATH + 1] = {}, fs[MAX_PATH + 1] = {};
  DWORD maxLen = 0, flags = 0;
  if (!GetVolumeInformationW(root.c_str(), name, MAX_PATH + 1, serial, &maxLen, &flags, fs,
                             MAX_PATH + 1))
    return false;
  *label = name;
  *fileSystem = fs;
  return true;
}

double bytes(const ULARGE_INTEGER& v) {
  return static_cast<double>(v.HighPart) * 4294967296.0 + v.LowPart;
}

class LogicalDriveInfo : public DispObject {
 public:
  LogicalDriveInfo() {
    property(L"Drives", [](const Args&, Result& r) {
      DWORD mask = GetLogicalDrives();
      std::wstring letters;
      for (int i = 0; i < 26; ++i)
        if (mask & (1u << i)) letters += static_cast<wchar_t>(L'A' + i);
      r.str(letters);
    });
    property(L"DriveCount", [](const Args&, Result& r) {
      DWORD mask = GetLogicalDrives();
      int n = 0;
      for (int i = 0; i < 26; ++i)
        if (mask & (1u << i)) ++n;
      r.num(n);
    });
    member(L"DriveExists", 1, 1, [](const Args& a, Result& r) {
      UINT type = GetDriveTypeW(rootOf(a.str(0)).c_str());
      r.boolean(type != DRIVE_UNKNOWN && type != DRIVE_NO_ROOT_DIR);
    });
    member(L"DriveType", 1, 1,
           [](const Args& a, Result& r) { r.num(GetDriveTypeW(rootOf(a.str(0)).c_str())); });
    member(L"FreeSpace", 1, 1, [](const Args& a, Result& r) {
      ULARGE_INTEGER avail, total;
      r.num(space(rootOf(a.str(0)), &avail, &total) ? bytes(avail) : -1.0);
    });
    member(L"TotalSize", 1, 1, [](const Args& a, Result& r) {
      ULARGE_INTEGER avail, total;
      r.num(space(rootOf(a.str(0)), &avail, &total) ? bytes(total) : -1.0);
    });
    member(L"VolumeName", 1, 1, [](const Args& a, Result& r) {
      std::wstring label, fs;
      DWORD serial = 0;
      r.str(volume(rootOf(a.str(0)), &label, &fs, &serial) ? label : std::wstring());
    });
    member(L"FileSystem", 1, 1, [](const Args& a, Result& r) {
      std::wstring label, fs;
      DWORD serial = 0;
      r.str(volume(rootOf(a.str(0)), &label, &fs, &serial) ? fs : std::wstring());
    });
    member(L"SerialNumber", 1, 1, [](const Args& a, Result& r) {
      std::wstring label, fs;
      DWORD serial = 0;
      r.num(volume(rootOf(a.str(0)), &label, &fs, &serial) ? static_cast<double>(serial) : 0.0);
    });
  }
};

}  // namespace

IDispatch* CreateLogicalDriveInfo() { return new LogicalDriveInfo(); }

}  // namespace qzk
