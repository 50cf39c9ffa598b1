// Placeholder: this step succeeds without effect until it is built.
#include "manager/manager.h"

namespace qz {

void CVRNManager::CheckControl() {}
bool CVRNManager::RegisterDll(const std::wstring&) { return false; }

}  // namespace qz
