// QZVRNDeploy: runs the patch manager of its own folder for a management
// tool and answers with the exit code such tools understand.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "platform/deployment.h"
#include "platform/platform.h"

namespace qz::deploy {

struct Options {
  std::optional<std::wstring> logFolder;  // "/log FOLDER"
  std::string usageError;
};

Options ParseArguments(const std::vector<std::wstring>& arguments);

// The whole run; returns the process exit code.
int RunDeployment(port::Platform& os, port::Deployment& deployment,
                  const std::vector<std::wstring>& arguments);

}  // namespace qz::deploy
