// Placeholder: this step succeeds without effect until it is built.
#include "manager/manager.h"

namespace qz {

bool CVRNManager::LocateAndVerifyInstallPath() { return true; }
bool CVRNManager::VerifySourceFilesPath() { return true; }

}  // namespace qz
