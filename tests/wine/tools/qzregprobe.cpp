// qzregprobe.dll: a COM-server-shaped fixture for the registration step.
// DllRegisterServer writes "<its own path>.registered" beside itself, holding
// the full path of the program that loaded it (Regsvr32 when the manager
// registers it), and succeeds. Tests copy it under the patch file name they
// need. It registers no class: the point is who called it, and from where.
// Built as qzregpair.dll (QZ_WITH_DEPENDENCY), it also imports qzregdep.dll,
// which must lie beside it.
#include <windows.h>

#ifdef QZ_WITH_DEPENDENCY
extern "C" __declspec(dllimport) int QzDependencyAnswer();
#endif

namespace {

HMODULE g_module = nullptr;

HRESULT Record(const wchar_t* suffix) {
  wchar_t own[MAX_PATH + 16];
  const DWORD n = GetModuleFileNameW(g_module, own, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return E_FAIL;
  lstrcatW(own, suffix);
  wchar_t loader[MAX_PATH];
  const DWORD m = GetModuleFileNameW(nullptr, loader, MAX_PATH);
  if (m == 0 || m >= MAX_PATH) return E_FAIL;
  char text[MAX_PATH * 3];
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, loader, static_cast<int>(m), text, sizeof text,
                                        nullptr, nullptr);
  HANDLE f =
      CreateFileW(own, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return E_FAIL;
  DWORD written = 0;
  const BOOL ok = WriteFile(f, text, static_cast<DWORD>(bytes), &written, nullptr);
  CloseHandle(f);
  return ok && written == static_cast<DWORD>(bytes) ? S_OK : E_FAIL;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

STDAPI DllRegisterServer() {
#ifdef QZ_WITH_DEPENDENCY
  if (QzDependencyAnswer() != 42) return E_FAIL;
#endif
  return Record(L".registered");
}

STDAPI DllUnregisterServer() { return Record(L".unregistered"); }
