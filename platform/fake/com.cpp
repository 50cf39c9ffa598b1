// The fake COM runtime: registered ProgIDs and creatable classes.
#include "platform/fake/fake_platform.h"

namespace qz::fake {

void FakeCom::Register(const std::wstring& progId, bool isCreatable) {
  port::Clsid id{};
  const std::wstring key = Fold(progId);
  for (std::size_t i = 0; i < key.size(); ++i) {
    id[i % id.size()] = static_cast<std::uint8_t>(id[i % id.size()] * 31 + key[i]);
  }
  progIds[key] = id;
  if (isCreatable) creatable.insert(id);
}

port::ComResult<port::Clsid> FakeCom::CLSIDFromProgID(const std::wstring& progId) {
  progIdLookups.push_back(progId);
  auto it = progIds.find(Fold(progId));
  if (it == progIds.end()) return {{}, static_cast<HRESULT>(0x800401F3u)};  // CO_E_CLASSSTRING
  return {it->second, port::kSOk};
}

HRESULT FakeCom::CoCreateInstance(const port::Clsid& clsid) {
  return creatable.count(clsid) ? port::kSOk : port::kClassNotReg;
}

}  // namespace qz::fake
