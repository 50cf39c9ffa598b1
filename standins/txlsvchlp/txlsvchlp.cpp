// Stand-in for the maker's helper library: answers whether the current
// user is a member of the local Administrators group.
#include <windows.h>

#include <cstdlib>

extern "C" __declspec(dllexport) int WINAPI IsCurrentUserLocalAdministrator() {
  // Test hook: a Wine prefix always runs as an administrator, so the tests
  // ask for the other answer this way.
  char forced[16] = {0};
  if (GetEnvironmentVariableA("QZ_TXLSVCHLP_ANSWER", forced, sizeof forced) > 0) {
    return std::atoi(forced);
  }
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                0, 0, 0, 0, &administrators)) {
    return 0;
  }
  // The effective token: a filtered (non-elevated) token's deny-only
  // Administrators entry does not count.
  BOOL member = FALSE;
  if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
  FreeSid(administrators);
  return member ? 1 : 0;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
