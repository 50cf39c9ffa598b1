// ReadConfiguration: "QZVRN.config" into the update entries, the OS list,
// the run's switches and the configured script header and footer.
#include "manager/manager.h"
#include "common/manager_contract.h"
#include "manager/xml_reading.h"

namespace qz {

namespace {

using port::XmlNode;
using xml::ForEachChild;
using xml::ForEachChildNamed;
using xml::IsTrue;
using xml::ValueOf;

constexpr wchar_t kSource[] = L"CVRNManager:ReadConfiguration";

RegistryLocation ReadRegistryLocation(XmlNode& node) {
  // By position, whatever the attributes are called.
  RegistryLocation location;
  location.subKey = xml::AttributeText(node, 0);
  location.valueName = xml::AttributeText(node, 1);
  location.relativePath = xml::AttributeText(node, 2);
  return location;
}

UpdateEntry ReadPatchDetails(XmlNode& patch) {
  UpdateEntry entry;
  auto attributes = xml::Need(patch.attributes());
  const long count = attributes->length();
  for (long i = 0; i < count; ++i) {
    auto attribute = xml::Need(attributes->item(i));
    if (attribute->nodeName() == L"Condition_Ref") {
      entry.conditionRef = attribute->text();
    }
  }
  ForEachChild(patch, [&](XmlNode& child) {
    const std::wstring name = child.nodeName();
    if (name == L"INSTALLFILENAME") {
      entry.fileName = ValueOf(child);
    } else if (name == L"REGKEYS") {
      ForEachChildNamed(child, L"INSTALLPATH_REGKEY", [&](XmlNode& key) {
        entry.registryLocations.push_back(ReadRegistryLocation(key));
      });
    } else if (name == L"COMREG_REQUIRED") {
      entry.comRegRequired = IsTrue(ValueOf(child));
    } else if (name == L"ASMREG_REQUIRED") {
      entry.asmRegRequired = IsTrue(ValueOf(child));
    } else if (name == L"ARGUMENTS") {
      entry.arguments = ValueOf(child);
    } else if (name == L"EXECUTION_REQUIRED") {
      entry.executionRequired = IsTrue(ValueOf(child));
    } else if (name == L"PROGID") {
      entry.progId = ValueOf(child);
    } else if (name == L"PARAMETERS") {
      ForEachChildNamed(child, L"PARAMETER", [&](XmlNode& parameter) {
        // The whole text: an empty PARAMETER is an empty parameter.
        entry.parameters.push_back(parameter.text());
      });
    }
  });
  entry.installPath.clear();
  return entry;
}

}  // namespace

bool CVRNManager::ReadConfiguration() {
  LogStarted(L"CVRNManager", L"ReadConfiguration");
  const xml::GuardTexts texts{kSource,   L"Com error: ",     L"Unknown error: ",
                              L"Failed", L"Unknown error: ", L"failed"};
  return xml::RunGuarded(*this, texts, [&] {
    auto document = xml::Need(os_.xml.CreateDocument());
    // The wide path, so that a folder name outside the ANSI code page
    // still finds its file.
    if (!xml::Load(*this, *document, kSource, m_sourceFolder + L"\\" + contract::kConfigFile)) {
      throw errRuleFileNotFound;
    }
    auto parameters = xml::FirstElement(*document, L"QZVRN_PARAMETERS");
    ForEachChild(*parameters, [&](XmlNode& child) {
      const std::wstring name = child.nodeName();
      if (name == L"FILENAME") {
        m_ruleFileName = ValueOf(child);
      } else if (name == L"OSVERSION") {
        ForEachChildNamed(child, L"OS", [&](XmlNode& os) {
          if (!os.text().empty()) m_osList.push_back(ValueOf(os));
        });
      } else if (name == L"SILENT_MODE") {
        m_silentMode = IsTrue(ValueOf(child));
      } else if (name == L"UPDATES") {
        ForEachChildNamed(child, L"PATCH_DETAILS", [&](XmlNode& patch) {
          m_updateEntries.push_back(ReadPatchDetails(patch));
        });
      } else if (name == L"SHOWFINAL_SUCCESSMSG") {
        m_showFinalSuccessMsg = IsTrue(ValueOf(child));
      } else if (name == L"RUNFINAL_RULE") {
        m_runFinalRule = IsTrue(ValueOf(child));
      } else if (name == L"RULEFINAL_SUCCESSMSG") {
        m_ruleFinalSuccessMsg = IsTrue(ValueOf(child));
      } else if (name == L"RULEFINAL_FAILEDMSG") {
        m_ruleFinalFailedMsg = IsTrue(ValueOf(child));
      } else if (name == L"CLEANUP_RECURSIVE") {
        m_cleanupRecursive = IsTrue(ValueOf(child));
      } else if (name == L"JSCRIPTCODE") {
        ForEachChild(child, [&](XmlNode& part) {
          const std::wstring partName = part.nodeName();
          if (partName != L"HEADER" && partName != L"FOOTER") return;
          // The element's own text, so an empty one is no failure.
          std::wstring text = part.text();
          if (text.empty()) return;
          (partName == L"HEADER" ? m_scriptHeader : m_scriptFooter) = text;
        });
      }
    });
    LogEnded(L"CVRNManager", L"ReadConfiguration");
    return true;
  });
}

}  // namespace qz
