// The first step of both programs: libraries that Windows loads on their
// behalf come from the system folder, never from the folder they were
// started from.
#pragma once
#include "platform/library_search.h"

namespace qz {

// The system folder alone where the system can say so; else the program's
// current folder leaves the search (the program's own folder stays first:
// nothing older can do more).
void RestrictLibrarySearch(port::LibrarySearch& search);

}  // namespace qz
