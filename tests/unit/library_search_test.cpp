// The search-path restriction at start-up on the systems it meets: the
// newest call where there is one, the older one where that is missing or
// refuses, and nothing at all on Windows 2000.
#include <gtest/gtest.h>

#include "common/library_search.h"
#include "platform/fake/fake_platform.h"

namespace qz {
namespace {

TEST(LibrarySearch, SystemFolderFirstThenTheOlderCallThenNothing) {
  const std::wstring systemOnly = L"SetDefaultDllDirectories 2048";
  const std::wstring noCurrentFolder = L"SetDllDirectoryW \"\"";
  struct Case {
    const char* system;
    std::optional<bool> defaultDirectories;
    std::optional<bool> dllDirectory;
    std::vector<std::wstring> calls;
  };
  const Case cases[] = {
      {"Windows 8 and later", true, true, {systemOnly}},
      {"call present but refusing", false, true, {systemOnly, noCurrentFolder}},
      {"XP SP1 to an unpatched 7", std::nullopt, true, {systemOnly, noCurrentFolder}},
      {"Windows 2000", std::nullopt, std::nullopt, {systemOnly, noCurrentFolder}},
  };
  for (const Case& c : cases) {
    fake::FakeLibrarySearch search;
    search.defaultDirectories = c.defaultDirectories;
    search.dllDirectory = c.dllDirectory;
    RestrictLibrarySearch(search);
    EXPECT_EQ(search.calls, c.calls) << c.system;
  }
}

}  // namespace
}  // namespace qz
