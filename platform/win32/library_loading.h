// How the adapters load libraries, for the adapters only (it sees
// <windows.h>). A library named by its full path has its own dependencies
// looked for beside it first; a system library is named by the system
// folder, so a copy planted beside the program is never taken instead.
#pragma once
#include <windows.h>

namespace qz::win32 {

// LoadLibraryExW of a full path with the search of its dependencies
// starting in its own folder: LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR with the
// default folders where the system has them, else the altered search path.
// A bare name ("kernel32.dll") takes the program's default search.
HMODULE LoadLibraryBesideItself(const wchar_t* path);
HMODULE LoadLibraryBesideItselfA(const char* path);

// An export of a library in the system folder, loaded once and kept; null
// when the library or the export is missing.
FARPROC SystemFunction(const wchar_t* library, const char* name);

template <typename Function>
Function SystemFunctionAs(const wchar_t* library, const char* name) {
  // The detour through void* states that the real type is known to us.
  return reinterpret_cast<Function>(reinterpret_cast<void*>(SystemFunction(library, name)));
}

}  // namespace qz::win32
