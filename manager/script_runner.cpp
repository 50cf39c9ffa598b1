// Placeholder: this step succeeds without effect until it is built.
#include "manager/manager.h"

namespace qz {

int CVRNManager::CallJScript(std::wstring) { return 1; }
bool CVRNManager::RunProcess(std::wstring, std::wstring, port::DWORD) { return true; }

}  // namespace qz
