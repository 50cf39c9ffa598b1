#include "registry.h"

#include <vector>

#include "dispatch.h"

namespace qzk {

HKEY parseHive(const std::wstring& name) {
  struct Alias {
    const wchar_t* shortName;
    const wchar_t* longName;
    HKEY hive;
  };
  static const Alias kAliases[] = {
      {L"HKLM", L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
      {L"HKCU", L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
      {L"HKCR", L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
      {L"HKU", L"HKEY_USERS", HKEY_USERS},
      {L"HKCC", L"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
  };
  for (const Alias& a : kAliases)
    if (sameText(name, a.shortName) || sameText(name, a.longName)) return a.hive;
  return nullptr;
}

RegKey::RegKey(HKEY root, const std::wstring& path) : key_(nullptr) {
  if (!root) return;
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) key_ = key;
}

RegKey::~RegKey() {
  if (key_) RegCloseKey(key_);
}

bool RegKey::query(const std::wstring& name, DWORD* type, DWORD* size) const {
  if (!key_) return false;
  return RegQueryValueExW(key_, name.c_str(), nullptr, type, nullptr, size) == ERROR_SUCCESS;
}

namespace {

// Reads a value of one of the string types into wide characters, without
// trusting the stored data to carry its terminator.
bool readRaw(HKEY key, const std::wstring& name, DWORD* type, std::vector<wchar_t>* chars) {
  DWORD size = 0;
  if (RegQueryValueExW(key, name.c_str(), nullptr, type, nullptr, &size) != ERROR_SUCCESS)
    return false;
  for (int attempt = 0; attempt < 3; ++attempt) {
    chars->assign(size / sizeof(wchar_t) + 2, L'\0');
    DWORD got = size;
    LONG rc = RegQueryValueExW(key, name.c_str(), nullptr, type,
                               reinterpret_cast<BYTE*>(chars->data()), &got);
    if (rc == ERROR_MORE_DATA) {
      size = got;
      continue;  // the value grew in between
    }
    if (rc != ERROR_SUCCESS) return false;
    chars->resize(got / sizeof(wchar_t));
    chars->push_back(L'\0');
    chars->push_back(L'\0');
    return true;
  }
  return false;
}

}  // namespace

bool RegKey::readString(const std::wstring& name, std::wstring* out) const {
  if (!key_) return false;
  DWORD type = 0;
  std::vector<wchar_t> chars;
  if (!readRaw(key_, name, &type, &chars)) return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) return false;
  *out = chars.data();  // stops at the first terminator
  return true;
}

bool RegKey::readMultiString(const std::wstring& name, const std::wstring& separator,
                             std::wstring* out) const {
  if (!key_) return false;
  DWORD type = 0;
  std::vector<wchar_t> chars;
  if (!readRaw(key_, name, &type, &chars)) return false;
  if (type != REG_MULTI_SZ && type != REG_SZ && type != REG_EXPAND_SZ) return false;
  out->clear();
  const wchar_t* p = chars.data();
  const wchar_t* end = chars.data() + chars.size();
  while (p < end && *p) {
    std::wstring part(p);
    if (!out->empty()) *out += separator;
    *out += part;
    p += part.size() + 1;
  }
  return true;
}

bool RegKey::readDword(const std::wstring& name, DWORD* out) const {
  if (!key_) return false;
  DWORD type = 0, value = 0, size = sizeof(value);
  if (RegQueryValueExW(key_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value),
                       &size) != ERROR_SUCCESS)
    return false;
  if (type != REG_DWORD || size != sizeof(value)) return false;
  *out = value;
  return true;
}

long RegKey::subKeyCount() const {
  if (!key_) return -1;
  DWORD count = 0;
  if (RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return -1;
  return static_cast<long>(count);
}

std::wstring RegKey::subKeyName(DWORD index) const {
  if (!key_) return std::wstring();
  wchar_t name[256];
  DWORD len = 256;
  if (RegEnumKeyExW(key_, index, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return std::wstring();
  return std::wstring(name, len);
}

}  // namespace qzk
