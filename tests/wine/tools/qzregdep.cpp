// qzregdep.dll: the library that qzregpair.dll imports. It lies beside
// qzregpair.dll and nowhere on the search path, so qzregpair.dll loads only
// where its own folder is searched for its dependencies.
#include <windows.h>

extern "C" __declspec(dllexport) int QzDependencyAnswer() { return 42; }
