// The manager's own readers, run as a patch run runs them (conditions,
// configuration, rule file) on a platform whose files keep every write in
// memory: what they accept and refuse is exactly what the manager does.
#pragma once
#include <optional>
#include <string>

#include "platform/platform.h"

namespace qz::check {

struct ReaderRun {
  std::optional<int> error;       // the _error value the readers ended with
  std::wstring failedStep;        // the reader that raised it
  std::wstring conditionsHeader;  // the header the condition scripts got
  std::wstring mainHeader;        // the header the main rule script got
};

ReaderRun RunManagerReaders(port::Platform& os);

// What an _error value tells a patch author.
std::string ErrorMeaning(int error);

}  // namespace qz::check
