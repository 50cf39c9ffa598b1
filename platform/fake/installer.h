// FakeInstaller: the Installer port (platform/installer.h) in memory, for the native unit tests.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "platform/fake/files.h"
#include "platform/fake/fold.h"
#include "platform/installer.h"

namespace qz::fake {

// The Setup API installer over FakeFiles: copies the file, or acts out
// what Windows does with a destination in use or a failing copy.
class FakeInstaller : public port::Installer {
 public:
  enum class Outcome {
    kCopy,       // copied (or queued, when forced and the target is locked)
    kInUse,      // target in use: FILEOPDELAYED in the normal form
    kCopyError,  // COPYERROR notification in the normal form
    kDeclined,   // false with no error (an installed file that is newer)
    kFails,      // false with `error`
    kThrows,     // an exception from below
  };
  struct Call {
    std::wstring sourceFile, sourcePathRoot, destinationName;
    DWORD copyStyle;
    bool withCallback;
    bool result;
  };
  explicit FakeInstaller(FakeFiles& files) : files_(files) {}
  // The narrow installs are recorded, never acted out.
  struct InstallA {
    std::string file, root, destination;
    DWORD style;
  };
  std::vector<InstallA> installsA;
  bool SetupInstallFileExA(const std::string& file, const std::string& root,
                           const std::string& destination, DWORD style, bool& inUse) override {
    installsA.push_back({file, root, destination, style});
    inUse = false;
    return true;
  }
  // By folded destination path; kCopy when absent.
  std::map<std::wstring, Outcome> outcomes;
  DWORD error = 5;
  std::vector<Call> calls;
  std::vector<std::wstring> queuedForRestart;  // PendingFileRenameOperations
  void Set(const std::wstring& destination, Outcome outcome) {
    outcomes[Fold(destination)] = outcome;
  }

  bool SetupInstallFileExW(const std::wstring& sourceFile, const std::wstring& sourcePathRoot,
                           const std::wstring& destinationName, DWORD copyStyle,
                           port::FileCallback callback, void* context, bool& fileWasInUse,
                           DWORD& lastError) override;

 private:
  FakeFiles& files_;
};

}  // namespace qz::fake
