// QZFileUtil: existence, size, date and version resources of files.
#include <cstdio>
#include <cwchar>
#include <vector>

#include "classes.h"
#include "dispatch.h"
#include "version_info.h"

namespace qzk {
namespace {

bool attributes(const std::wstring& path, WIN32_FILE_ATTRIBUTE_DATA* data) {
  if (path.empty()) return false;
  return GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, data) != 0;
}

// "1.10.2" -> {1, 10, 2}; a part's leading digits count, the rest is ignored.
std::vector<unsigned long> versionParts(const std::wstring& text) {
  std::vector<unsigned long> parts;
  size_t start = 0;
  while (start <= text.size()) {
    size_t dot = text.find(L'.', start);
    if (dot == std::wstring::npos) dot = text.size();
    parts.push_back(wcstoul(text.substr(start, dot - start).c_str(), nullptr, 10));
    start = dot + 1;
  }
  return parts;
}

int compareVersions(const std::wstring& a, const std::wstring& b) {
  std::vector<unsigned long> pa = versionParts(a), pb = versionParts(b);
  size_t n = pa.size() > pb.size() ? pa.size() : pb.size();
  for (size_t i = 0; i < n; ++i) {
    unsigned long x = i < pa.size() ? pa[i] : 0, y = i < pb.size() ? pb[i] : 0;
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

std::wstring folder(UINT(WINAPI* query)(LPWSTR, UINT)) {
  wchar_t buf[MAX_PATH] = {};
  UINT len = query(buf, MAX_PATH);
  return (len == 0 || len >= MAX_PATH) ? std::wstring() : std::wstring(buf, len);
}

class FileUtil : public DispObject {
 public:
  FileUtil() {
    member(L"FileExists", 1, 1, [](const Args& a, Result& r) {
      WIN32_FILE_ATTRIBUTE_DATA d;
      r.boolean(attributes(a.str(0), &d) && !(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY));
    });
    member(L"FolderExists", 1, 1, [](const Args& a, Result& r) {
      WIN32_FILE_ATTRIBUTE_DATA d;
      r.boolean(attributes(a.str(0), &d) && (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY));
    });
    member(L"GetFileSize", 1, 1, [](const Args& a, Result& r) {
      WIN32_FILE_ATTRIBUTE_DATA d;
      if (!attributes(a.str(0), &d) || (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        r.num(-1);
      else
        r.num(static_cast<double>(d.nFileSizeHigh) * 4294967296.0 + d.nFileSizeLow);
    });
    member(L"GetFileDate", 1, 1, [](const Args& a, Result& r) {
      WIN32_FILE_ATTRIBUTE_DATA d;
      SYSTEMTIME st;
      if (!attributes(a.str(0), &d) || !FileTimeToSystemTime(&d.ftLastWriteTime, &st)) {
        r.str(L"");
        return;
      }
      wchar_t buf[32];
      swprintf(buf, 32, L"%04u-%02u-%02u %02u:%02u:%02u", st.wYear, st.wMonth, st.wDay, st.wHour,
               st.wMinute, st.wSecond);
      r.str(buf);
    });
    member(L"GetFileVersion", 1, 1, [](const Args& a, Result& r) {
      VS_FIXEDFILEINFO fi;
      r.str(fixedFileInfo(a.str(0), &fi) ? formatVersion(fi.dwFileVersionMS, fi.dwFileVersionLS)
                                         : std::wstring());
    });
    member(L"GetProductVersion", 1, 1, [](const Args& a, Result& r) {
      VS_FIXEDFILEINFO fi;
      r.str(fixedFileInfo(a.str(0), &fi)
                ? formatVersion(fi.dwProductVersionMS, fi.dwProductVersionLS)
                : std::wstring());
    });
    member(L"CompareVersions", 2, 2,
           [](const Args& a, Result& r) { r.num(compareVersions(a.str(0), a.str(1))); });
    member(L"ExpandEnvironment", 1, 1, [](const Args& a, Result& r) {
      std::wstring text = a.str(0);
      DWORD need = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
      if (need == 0) {
        r.str(text);
        return;
      }
      std::vector<wchar_t> buf(need + 1);
      DWORD got = ExpandEnvironmentStringsW(text.c_str(), buf.data(), need + 1);
      r.str(got == 0 || got > need + 1 ? text : std::wstring(buf.data()));
    });
    property(L"WindowsFolder", [](const Args&, Result& r) { r.str(folder(GetWindowsDirectoryW)); });
    property(L"SystemFolder", [](const Args&, Result& r) { r.str(folder(GetSystemDirectoryW)); });
    property(L"TempFolder", [](const Args&, Result& r) {
      wchar_t buf[MAX_PATH + 1] = {};
      DWORD len = GetTempPathW(MAX_PATH + 1, buf);
      r.str(len == 0 || len > MAX_PATH ? std::wstring() : std::wstring(buf, len));
    });
  }
};

}  // namespace

IDispatch* CreateFileUtil() { return new FileUtil(); }

}  // namespace qzk
