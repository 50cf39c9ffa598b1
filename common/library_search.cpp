// A patch folder holds files from elsewhere (a download, an unpacked
// archive): a library planted there under the name of one that a dialog,
// a theme or a version check loads would run with the program's rights.
#include "common/library_search.h"

namespace qz {

void RestrictLibrarySearch(port::LibrarySearch& search) {
  // Missing or refusing, the older call is the fallback either way.
  if (search.SetDefaultDllDirectories(port::kLoadLibrarySearchSystem32)) return;
  search.SetDllDirectoryW(L"");
}

}  // namespace qz
