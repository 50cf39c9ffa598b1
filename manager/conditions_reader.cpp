// Placeholder: this step succeeds without effect until it is built.
#include "manager/manager.h"

namespace qz {

bool CVRNManager::ReadConditions() { return true; }

}  // namespace qz
