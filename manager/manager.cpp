#include "manager/manager.h"
#include "common/manager_contract.h"

#include "manager/script_texts.h"

namespace qz {

CVRNManager* g_pManager = nullptr;

namespace {
std::wstring Widen(const char* ascii) {
  std::wstring out;
  for (const char* p = ascii; *p; ++p) out += static_cast<wchar_t>(*p);
  return out;
}
}  // namespace

CVRNManager::CVRNManager(port::Platform& os)
    : m_log(os.files), m_returnCodeFile(os.files), m_walk(os.files), os_(os) {
  try {
    m_rebootFlag = 0;
    const auto folder = os_.system.GetCurrentDirectoryW();
    if (!folder) throw errManagerSetup;
    m_sourceFolder = folder.value;
    m_silentMode = 0;
    m_showFinalSuccessMsg = 1;
    m_runFinalRule = 0;
    m_ruleFinalSuccessMsg = 1;
    m_ruleFinalFailedMsg = 0;
    m_cleanupRecursive = 0;
    m_launchMode = kLaunchModeNotSet;
    // The adapter returns the whole temporary path, so a long one still
    // gets its log instead of overrunning a fixed buffer. The folder may be
    // shared (C:\Windows\Temp for the system account): the log is made new,
    // never written through whatever is found under its name.
    if (const auto temp = os_.system.GetTempPathW()) {
      m_log.OpenNew(temp.value + contract::kLogFile);
    }
    m_scriptHeader = Widen(kBuiltInScriptHeader);
    m_scriptFooter = Widen(kBuiltInScriptFooter);
  } catch (...) {
    throw errManagerSetup;
  }
}

CVRNManager::~CVRNManager() {
  LogStarted(L"CVRNManager", L"~CVRNManager");
  m_log.Close();
}

}  // namespace qz
