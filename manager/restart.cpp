// Placeholder: this step succeeds without effect until it is built.
#include "manager/manager.h"

namespace qz {

int CVRNManager::SystemShutdown() { return 0; }

}  // namespace qz
