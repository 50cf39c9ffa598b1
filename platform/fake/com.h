// FakeCom: the Com port (platform/com.h) in memory, for the native unit tests.
#pragma once
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/com.h"
#include "platform/fake/fold.h"

namespace qz::fake {

class FakeCom : public port::Com {
 public:
  HRESULT initializeResult = port::kSOk;
  int initialized = 0;
  int uninitialized = 0;
  std::map<std::wstring, port::Clsid> progIds;  // folded
  std::set<port::Clsid> creatable;
  std::vector<std::wstring> progIdLookups;

  HRESULT CoInitialize() override {
    ++initialized;
    return initializeResult;
  }
  void CoUninitialize() override { ++uninitialized; }
  port::ComResult<port::Clsid> CLSIDFromProgID(const std::wstring& progId) override;
  HRESULT CoCreateInstance(const port::Clsid& clsid) override;
  // Registers `progId` with a class id and makes it creatable or not.
  void Register(const std::wstring& progId, bool isCreatable = true);
};

}  // namespace qz::fake
