// Placeholder: this step succeeds without effect until it is built.
#include "manager/manager.h"

namespace qz {

bool CVRNManager::ReadJSFromXml() { return true; }
void CVRNManager::WriteRuleScript(const std::wstring&, const std::wstring&) {}

}  // namespace qz
