// Fuzz target: any bytes as "QZVRN_Conditions.config", read by
// ReadConditions over pugixml and the fakes; every condition ID becomes part
// of a file name, so the created files are checked too.
#include "manager/manager.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/targets.h"

namespace qz::fuzz {

int ConditionsReaderOneInput(const std::uint8_t* data, std::size_t size) {
  Machine machine;
  machine.Put(L"C:\\patch\\QZVRN_Conditions.config", data, size);
  {
    CVRNManager manager(machine.fake.os);
    const int result =
        ReadOrError([&] { return manager.ReadConditions(); },
                    {errConfigurationNotProper, errGeneralFailure, errConditionsNotLoaded});
    CheckLastEntry(machine, result, "CVRNManager  ReadConditions  Ended",
                   "CVRNManager:ReadConditions");
  }
  CheckAfterRun(machine);
  return 0;
}

}  // namespace qz::fuzz

QZ_FUZZ_ENTRY(qz::fuzz::ConditionsReaderOneInput)
