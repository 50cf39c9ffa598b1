// The run from launch token to exit code, called by WinMain with the
// narrow command-line tail the start-up code hands a GUI program.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "manager/manager.h"
#include "platform/platform.h"

namespace qz {

inline constexpr wchar_t kWebSiteToken[] = L"QZWEB";

// The manager's steps as the entry calls them. Each forwards to the
// manager; a test replaces single steps to reach outcomes that the real
// steps only give on a broken machine.
class ManagerSteps {
 public:
  explicit ManagerSteps(CVRNManager& manager) : m_(manager) {}
  virtual ~ManagerSteps() = default;
  virtual bool IsSupportedOS() { return m_.IsSupportedOS(); }
  virtual bool ReadConditions() { return m_.ReadConditions(); }
  virtual bool ReadConfiguration() { return m_.ReadConfiguration(); }
  virtual bool RecoverInterruptedRun() { return m_.RecoverInterruptedRun(); }
  virtual bool ReadJSFromXml() { return m_.ReadJSFromXml(); }
  virtual bool CheckOS() { return m_.CheckOS(); }
  virtual bool LocateAndVerifyInstallPath() { return m_.LocateAndVerifyInstallPath(); }
  virtual bool VerifySourceFilesPath() { return m_.VerifySourceFilesPath(); }
  virtual bool DoUpdate() { return m_.DoUpdate(); }
  virtual int CallJScript(const std::wstring& script) { return m_.CallJScript(script); }
  virtual int SystemShutdown() { return m_.SystemShutdown(); }
  virtual int Cleanup(const std::wstring& folder, int topLevel) {
    return m_.Cleanup(folder, topLevel);
  }

 protected:
  CVRNManager& m_;
};

using StepsFactory = std::function<std::unique_ptr<ManagerSteps>(CVRNManager&)>;

// Returns the process exit code: 0 for every normal end, -1 when an
// exception reached the entry (or the manager could not be set up).
int RunPatchManager(port::Platform& os, const std::string& commandLine,
                    const StepsFactory& makeSteps = {});

}  // namespace qz
