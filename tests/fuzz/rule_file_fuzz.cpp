// Fuzz target: any bytes as the rule file, read by ReadJSFromXml over
// pugixml and the fakes, which writes "TestCode_Main.js" through the rule
// script writer.
#include "manager/manager.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/targets.h"

namespace qz::fuzz {

int RuleFileOneInput(const std::uint8_t* data, std::size_t size) {
  Machine machine;
  machine.Put(L"C:\\patch\\QZVRN_Rules.xml", data, size);
  {
    CVRNManager manager(machine.fake.os);
    manager.m_ruleFileName = L"QZVRN_Rules.xml";
    const int result =
        ReadOrError([&] { return manager.ReadJSFromXml(); },
                    {errConfigurationNotProper, errRuleFileNotFound, errGeneralFailure});
    // This reader writes no Ended entry: a good read leaves its Started last.
    CheckLastEntry(machine, result, "CVRNManager  ReadJSFromXml  Started",
                   "CVRNManager:ReadJSFromXml");
    Check(manager.m_rebootFlag >= 0 && manager.m_rebootFlag <= 3, "the reboot flag left 0..3");
  }
  CheckAfterRun(machine);
  return 0;
}

}  // namespace qz::fuzz

QZ_FUZZ_ENTRY(qz::fuzz::RuleFileOneInput)
