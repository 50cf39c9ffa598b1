// Fuzz target: any bytes as "QZVRN.config", read by ReadConfiguration over
// pugixml and the fakes.
#include "manager/manager.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/targets.h"

namespace qz::fuzz {

int ConfigReaderOneInput(const std::uint8_t* data, std::size_t size) {
  Machine machine;
  machine.Put(L"C:\\patch\\QZVRN.config", data, size);
  {
    CVRNManager manager(machine.fake.os);
    const int result =
        ReadOrError([&] { return manager.ReadConfiguration(); },
                    {errConfigurationNotProper, errRuleFileNotFound, errGeneralFailure});
    // The install steps take these from the reader as the table gives them.
    for (const UpdateEntry& entry : manager.m_updateEntries) {
      Check(entry.installPath.empty() && !entry.installed && !entry.backedUp,
            "an update entry starts with an install result");
    }
    CheckLastEntry(machine, result, "CVRNManager  ReadConfiguration  Ended",
                   "CVRNManager:ReadConfiguration");
  }
  CheckAfterRun(machine);
  return 0;
}

}  // namespace qz::fuzz

QZ_FUZZ_ENTRY(qz::fuzz::ConfigReaderOneInput)
