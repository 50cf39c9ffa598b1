// QZVRNDeploy.exe: a console program that management tools start in the
// patch folder instead of QZVRN.exe, for an exit code they understand.
#include <windows.h>

#include <string>
#include <vector>

#include "common/library_search.h"
#include "deploy/deployment.h"
#include "platform/win32/win32_platform.h"

int wmain(int argc, wchar_t** argv) {
  // Started from a patch folder that came from elsewhere.
  qz::RestrictLibrarySearch(*qz::win32::MakeLibrarySearch());
  // A failure of its own is still a failure to the console.
  constexpr int kFailure = 1603;
  try {
    std::vector<std::wstring> arguments(argv + 1, argv + argc);
    Win32Platform real;
    const std::unique_ptr<qz::port::Deployment> deployment = qz::win32::MakeDeployment();
    return qz::deploy::RunDeployment(real.Get(), *deployment, arguments);
  } catch (...) {
    return kFailure;
  }
}
