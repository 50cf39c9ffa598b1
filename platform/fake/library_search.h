// FakeLibrarySearch: the LibrarySearch port (platform/library_search.h) in memory, for the native unit tests.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "platform/fake/fold.h"
#include "platform/library_search.h"

namespace qz::fake {

// What a system has of the two calls (nullopt: it lacks the call) and
// whether each succeeds; every call is recorded in order.
class FakeLibrarySearch : public port::LibrarySearch {
 public:
  std::optional<bool> defaultDirectories = true;
  std::optional<bool> dllDirectory = true;
  std::vector<std::wstring> calls;

  port::Status SetDefaultDllDirectories(DWORD flags) override {
    calls.push_back(L"SetDefaultDllDirectories " + std::to_wstring(flags));
    return Answer(defaultDirectories);
  }
  port::Status SetDllDirectoryW(const std::wstring& path) override {
    calls.push_back(L"SetDllDirectoryW \"" + path + L"\"");
    return Answer(dllDirectory);
  }

 private:
  static port::Status Answer(std::optional<bool> call) {
    if (!call) return port::Status::Failed(port::kErrorProcNotFound);
    return *call ? port::Status::Ok() : port::Status::Failed(port::kErrorAccessDenied);
  }
};

}  // namespace qz::fake
