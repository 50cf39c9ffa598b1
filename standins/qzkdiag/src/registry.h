// Read-only registry access shared by the classes that look at the registry.
#pragma once

#include <windows.h>

#include <string>

namespace qzk {

// "HKLM"/"HKEY_LOCAL_MACHINE", "HKCU", "HKCR", "HKU", "HKCC", any case;
// nullptr for anything else.
HKEY parseHive(const std::wstring& name);

// Owns one opened key, read access only.
class RegKey {
 public:
  RegKey(HKEY root, const std::wstring& path);
  ~RegKey();
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  bool ok() const { return key_ != nullptr; }
  HKEY get() const { return key_; }

  // Type and size of a value; false when absent.
  bool query(const std::wstring& name, DWORD* type, DWORD* size) const;
  // REG_SZ / REG_EXPAND_SZ as stored, the first string of a REG_MULTI_SZ;
  // false for an absent value or another type.
  bool readString(const std::wstring& name, std::wstring* out) const;
  // A REG_MULTI_SZ as its strings joined by `separator`.
  bool readMultiString(const std::wstring& name, const std::wstring& separator,
                       std::wstring* out) const;
  bool readDword(const std::wstring& name, DWORD* out) const;
  // Number of direct subkeys; -1 when the key is not open.
  long subKeyCount() const;
  // Name of the subkey at `index`, "" past the end.
  std::wstring subKeyName(DWORD index) const;

 private:
  HKEY key_;
};

}  // namespace qzk
