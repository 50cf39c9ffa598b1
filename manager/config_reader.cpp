// ReadConfiguration: "QZVRN.config" into the update entries, the OS list,
// the run's switches and the configured script header and footer.
#include "manager/manager.h"
#include "manager/config_schema.h"
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
    if (attribute->nodeName() == schema::kConditionRef) {
      entry.conditionRef = attribute->text();
    }
  }
  ForEachChild(patch, [&](XmlNode& child) {
    const std::wstring name = child.nodeName();
    if (name == schema::kInstallFileName) {
      entry.fileName = ValueOf(child);
    } else if (name == schema::kRegKeys) {
      ForEachChildNamed(child, schema::kInstallPathRegKey, [&](XmlNode& key) {
        entry.registryLocations.push_back(ReadRegistryLocation(key));
      });
    } else if (name == schema::kComRegRequired) {
      entry.comRegRequired = IsTrue(ValueOf(child));
    } else if (name == schema::kAsmRegRequired) {
      entry.asmRegRequired = IsTrue(ValueOf(child));
    } else if (name == schema::kArguments) {
      entry.arguments = ValueOf(child);
    } else if (name == schema::kExecutionRequired) {
      entry.executionRequired = IsTrue(ValueOf(child));
    } else if (name == schema::kProgId) {
      entry.progId = ValueOf(child);
    } else if (name == schema::kParametersList) {
      ForEachChildNamed(child, schema::kParameter, [&](XmlNode& parameter) {
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
    auto parameters = xml::FirstElement(*document, schema::kParametersBlock);
    ForEachChild(*parameters, [&](XmlNode& child) {
      const std::wstring name = child.nodeName();
      if (name == schema::kFileName) {
        m_ruleFileName = ValueOf(child);
      } else if (name == schema::kOsVersion) {
        ForEachChildNamed(child, schema::kOs, [&](XmlNode& os) {
          if (!os.text().empty()) m_osList.push_back(ValueOf(os));
        });
      } else if (name == schema::kSilentMode) {
        m_silentMode = IsTrue(ValueOf(child));
      } else if (name == schema::kUpdates) {
        ForEachChildNamed(child, schema::kPatchDetails, [&](XmlNode& patch) {
          m_updateEntries.push_back(ReadPatchDetails(patch));
        });
      } else if (name == schema::kShowFinalSuccessMsg) {
        m_showFinalSuccessMsg = IsTrue(ValueOf(child));
      } else if (name == schema::kRunFinalRule) {
        m_runFinalRule = IsTrue(ValueOf(child));
      } else if (name == schema::kRuleFinalSuccessMsg) {
        m_ruleFinalSuccessMsg = IsTrue(ValueOf(child));
      } else if (name == schema::kRuleFinalFailedMsg) {
        m_ruleFinalFailedMsg = IsTrue(ValueOf(child));
      } else if (name == schema::kCleanupRecursive) {
        m_cleanupRecursive = IsTrue(ValueOf(child));
      } else if (name == schema::kJScriptCode) {
        ForEachChild(child, [&](XmlNode& part) {
          const std::wstring partName = part.nodeName();
          if (partName != schema::kHeader && partName != schema::kFooter) return;
          // The element's own text, so an empty one is no failure.
          std::wstring text = part.text();
          if (text.empty()) return;
          (partName == schema::kHeader ? m_scriptHeader : m_scriptFooter) = text;
        });
      }
    });
    LogEnded(L"CVRNManager", L"ReadConfiguration");
    return true;
  });
}

}  // namespace qz
