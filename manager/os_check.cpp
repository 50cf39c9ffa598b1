// Placeholder: this step succeeds without effect until it is built.
#include "manager/manager.h"

namespace qz {

bool CVRNManager::IsSupportedOS() { return true; }
bool CVRNManager::CheckOS() { return true; }
std::int32_t CVRNManager::QZIsWow64Process() { return 0; }
bool CVRNManager::QZIsVistaOS() { return false; }

}  // namespace qz
