#include "checker/reader_run.h"

#include "manager/errors.h"
#include "manager/manager.h"

namespace qz::check {

ReaderRun RunManagerReaders(port::Platform& os) {
  ReaderRun run;
  try {
    CVRNManager manager(os);
    run.conditionsHeader = manager.m_scriptHeader;
    const auto step = [&](const wchar_t* name, bool (CVRNManager::*read)()) {
      if (run.error) return;
      try {
        (manager.*read)();
      } catch (_error e) {
        run.error = e;
        run.failedStep = name;
      }
    };
    step(L"ReadConditions", &CVRNManager::ReadConditions);
    step(L"ReadConfiguration", &CVRNManager::ReadConfiguration);
    run.mainHeader = manager.m_scriptHeader;
    step(L"ReadJSFromXml", &CVRNManager::ReadJSFromXml);
  } catch (_error e) {
    run.error = e;
    run.failedStep = L"CVRNManager";
  }
  return run;
}

std::string ErrorMeaning(int error) {
  switch (error) {
    case errConfigurationNotProper: return "the configuration is not proper (_error 0)";
    case errRuleFileNotFound: return "the rule file is not found (_error 1)";
    case errConditionsNotLoaded: return "the conditions file cannot be loaded (_error 11)";
    case errManagerSetup: return "the manager cannot start (_error 10)";
    default: return "general failure (_error " + std::to_string(error) + ")";
  }
}

}  // namespace qz::check
