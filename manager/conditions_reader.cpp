// ReadConditions: every condition of "QZVRN_Conditions.config" straight
// into its rule script "TestCode_<ID>.js".
#include <optional>

#include "manager/file_names.h"
#include "common/manager_contract.h"
#include "manager/manager.h"
#include "manager/patch_names.h"
#include "manager/xml_reading.h"

namespace qz {

namespace {

using port::XmlNode;

constexpr wchar_t kSource[] = L"CVRNManager:ReadConditions";

}  // namespace

bool CVRNManager::ReadConditions() {
  LogStarted(L"CVRNManager", L"ReadConditions");
  const xml::GuardTexts texts{kSource,   L"Com error: ",     L"Unknown error: ",
                              L"Failed", L"Unknown error: ", L"Failed"};
  return xml::RunGuarded(*this, texts, [&] {
    const std::wstring path = m_sourceFolder + L"\\" + contract::kConditionsFile;
    if (!os_.files.AnyMatch(path)) {
      WriteLog(kSource, L"QZVRN_Conditions Config file not found: ", L"Info");
      return true;
    }
    auto document = xml::Need(os_.xml.CreateDocument());
    if (!xml::Load(*this, *document, kSource, path)) {
      WriteLog(kSource, L"Could not load Config file", L"Error");
      throw errConditionsNotLoaded;
    }
    auto details = xml::FirstElement(*document, L"CONDITION_DETAILS");
    xml::ForEachChildNamed(*details, L"CONDITION", [&](XmlNode& condition) {
      std::wstring name;
      auto attributes = xml::Need(condition.attributes());
      const long count = attributes->length();
      for (long i = 0; i < count; ++i) {
        auto attribute = xml::Need(attributes->item(i));
        if (attribute->nodeName() == L"ID") name = attribute->text();
      }
      bool refused = false;
      // Read once: the text is the same for every JSCRIPT child, and
      // reading it anew for each made a condition of many children cost
      // their number squared.
      std::optional<std::wstring> body;
      xml::ForEachChildNamed(condition, L"JSCRIPT", [&](XmlNode&) {
        if (name.empty() || refused) return;
        // A condition without its script would apply its entries on every
        // machine: it is remembered, and its entries are not applied.
        if (!CanBeRuleScript(name)) {
          WriteLog(kSource, L"Condition ID refused: ", name);
          m_unpreparedConditions.insert(FileNameKey(os_.files, name));
          refused = true;
          return;
        }
        // The whole condition's text, not only the JSCRIPT element's.
        if (!body) body = condition.text();
        if (!WriteRuleScript(name, *body)) {
          WriteLog(kSource, L"Condition script not written: ", name);
          m_unpreparedConditions.insert(FileNameKey(os_.files, name));
          refused = true;
        }
      });
    });
    LogEnded(L"CVRNManager", L"ReadConditions");
    return true;
  });
}

}  // namespace qz
