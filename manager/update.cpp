// Placeholder: this step succeeds without effect until it is built.
#include "manager/manager.h"

namespace qz {

bool CVRNManager::DoUpdate() { return true; }

}  // namespace qz
