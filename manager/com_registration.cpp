// RegisterCOMDLLS: every installed file marked for COM registration is
// handed to Regsvr32, silently and without waiting for it.
#include "manager/manager.h"
#include "manager/patch_names.h"

namespace qz {

bool CVRNManager::RegisterCOMDLLS() {
  LogStarted(L"CVRNManager", L"RegisterCOMDLLS");
  for (const UpdateEntry& entry : m_updateEntries) {
    if (!entry.installed || !entry.comRegRequired) continue;
    // Registered where InstallPatch put it: the name alone, in the
    // install folder.
    const std::wstring path = entry.installPath + L"\\" + LastComponent(entry.fileName);
    const std::wstring parameters = L" /s \"" + path + L"\"";
    os_.shell.ShellExecuteW(port::WindowHandle{}, L"open", L"Regsvr32.exe", parameters, L"",
                            port::kSwHide);
    WriteLog(L"CVRNManager:RegisterCOMDLLS", L"Regsvr32 " + parameters, L"Info");
  }
  LogEnded(L"CVRNManager", L"RegisterCOMDLLS");
  return true;
}

}  // namespace qz
