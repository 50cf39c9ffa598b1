// Placeholder: this step succeeds without effect until it is built.
#include "manager/manager.h"

namespace qz {

bool CVRNManager::ReadConfiguration() { return true; }

}  // namespace qz
