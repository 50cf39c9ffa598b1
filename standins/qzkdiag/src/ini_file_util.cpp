// QZIniFileUtil: reads INI files through the profile API. A file name
// without a path is looked for in the Windows folder, as the API does.
#include <vector>

#include "classes.h"
#include "dispatch.h"

namespace qzk {
namespace {

// GetPrivateProfileString with a buffer that grows until the text fits.
// `section`/`key` may be null to list section or key names.
std::wstring profileString(const wchar_t* section, const wchar_t* key, const std::wstring& fallback,
                           const std::wstring& file) {
  for (DWORD size = 512; size <= 1u << 20; size *= 4) {
    std::vector<wchar_t> buf(size, L'\0');
    DWORD got =
        GetPrivateProfileStringW(section, key, fallback.c_str(), buf.data(), size, file.c_str());
    // Truncation shows as size-1 (one string) or size-2 (a list).
    if (got < size - 2) return std::wstring(buf.data(), got);
  }
  return fallback;
}

// A list of names (double-null terminated) joined by '|'.
std::wstring joinList(const std::wstring& raw) {
  std::wstring out;
  size_t start = 0;
  while (start < raw.size()) {
    size_t end = raw.find(L'\0', start);
    if (end == std::wstring::npos) end = raw.size();
    if (end > start) {
      if (!out.empty()) out += L'|';
      out += raw.substr(start, end - start);
    }
    start = end + 1;
  }
  return out;
}

const wchar_t kMissing[] = L"\x01qzk-missing\x02";

class IniFileUtil : public DispObject {
 public:
  IniFileUtil() {
    member(L"ReadString", 3, 4, [](const Args& a, Result& r) {
      std::wstring section = a.str(1), key = a.str(2);
      r.str(profileString(section.c_str(), key.c_str(), a.str(3), a.str(0)));
    });
    member(L"ReadInteger", 3, 4, [](const Args& a, Result& r) {
      std::wstring section = a.str(1), key = a.str(2);
      UINT v = GetPrivateProfileIntW(section.c_str(), key.c_str(), a.num(3, 0), a.str(0).c_str());
      r.num(static_cast<INT>(v));
    });
    member(L"KeyExists", 3, 3, [](const Args& a, Result& r) {
      std::wstring section = a.str(1), key = a.str(2);
      r.boolean(profileString(section.c_str(), key.c_str(), kMissing, a.str(0)) != kMissing);
    });
    member(L"SectionNames", 1, 1, [](const Args& a, Result& r) {
      r.str(joinList(profileString(nullptr, nullptr, L"", a.str(0))));
    });
    member(L"KeyNames", 2, 2, [](const Args& a, Result& r) {
      std::wstring section = a.str(1);
      r.str(joinList(profileString(section.c_str(), nullptr, L"", a.str(0))));
    });
    member(L"SectionExists", 2, 2, [](const Args& a, Result& r) {
      std::wstring raw = profileString(nullptr, nullptr, L"", a.str(0));
      std::wstring wanted = a.str(1);
      bool found = false;
      for (size_t start = 0; start < raw.size() && !found;) {
        size_t end = raw.find(L'\0', start);
        if (end == std::wstring::npos) end = raw.size();
        found = sameText(raw.substr(start, end - start), wanted);
        start = end + 1;
      }
      r.boolean(found);
    });
  }
};

}  // namespace

IDispatch* CreateIniFileUtil() { return new IniFileUtil(); }

}  // namespace qzk
