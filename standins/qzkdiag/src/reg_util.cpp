// QZRegUtil: reads keys and values; the hive is named by a string.
#include "classes.h"
#include "dispatch.h"
#include "registry.h"

namespace qzk {
namespace {

class RegUtil : public DispObject {
 public:
  RegUtil() {
    member(L"KeyExists", 2, 2, [](const Args& a, Result& r) { r.boolean(open(a).ok()); });
    member(L"ValueExists", 3, 3, [](const Args& a, Result& r) {
      DWORD type = 0, size = 0;
      r.boolean(open(a).query(a.str(2), &type, &size));
    });
    member(L"ReadString", 3, 3, [](const Args& a, Result& r) {
      std::wstring value;
      if (!open(a).readString(a.str(2), &value)) value.clear();
      r.str(value);
    });
    member(L"ReadMultiString", 3, 4, [](const Args& a, Result& r) {
      std::wstring value;
      if (!open(a).readMultiString(a.str(2), a.str(3, L"|"), &value)) value.clear();
      r.str(value);
    });
    member(L"ReadDWORD", 3, 3, [](const Args& a, Result& r) {
      DWORD value = 0;
      // Unsigned, so a stored 0xFFFFFFFF cannot be mistaken for "absent".
      if (open(a).readDword(a.str(2), &value))
        r.num(static_cast<double>(value));
      else
        r.num(-1);
    });
    member(L"GetValueType", 3, 3, [](const Args& a, Result& r) {
      DWORD type = 0, size = 0;
      r.num(open(a).query(a.str(2), &type, &size) ? static_cast<double>(type) : -1.0);
    });
    member(L"SubKeyCount", 2, 2, [](const Args& a, Result& r) { r.num(open(a).subKeyCount()); });
    member(L"SubKeyName", 3, 3, [](const Args& a, Result& r) {
      long index = a.num(2);
      r.str(index < 0 ? std::wstring() : open(a).subKeyName(static_cast<DWORD>(index)));
    });
  }

 private:
  static RegKey open(const Args& a) { return RegKey(parseHive(a.str(0)), a.str(1)); }
};

}  // namespace

IDispatch* CreateRegUtil() { return new RegUtil(); }

}  // namespace qzk
