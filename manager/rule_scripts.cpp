// The rule script writer and ReadJSFromXml, which turns the rule file's
// matchString into "TestCode_Main.js".
#include "manager/manager.h"
#include "manager/patch_names.h"
#include "common/text_compare.h"
#include "manager/xml_reading.h"

namespace qz {

namespace {

using port::XmlNode;

constexpr wchar_t kSource[] = L"CVRNManager:ReadJSFromXml";

bool FitsEightBits(const std::wstring& text) {
  for (wchar_t ch : text) {
    if (static_cast<std::uint32_t>(ch) > 0xFF) return false;
  }
  return true;
}

// The script host takes a file that begins with the bytes FF FE for UTF-16:
// an 8-bit script must not begin with U+00FF U+00FE (a configured HEADER
// can), or the host would read every byte pair as one character.
bool StartsLikeUtf16Mark(const std::wstring& text) {
  return text.size() >= 2 && text[0] == L'\xFF' && text[1] == L'\xFE';
}

}  // namespace

bool CVRNManager::WriteRuleScript(const std::wstring& name, const std::wstring& body) {
  const std::wstring script = m_scriptHeader + L"\n" + body + m_scriptFooter + L"\n";
  // A text beyond Latin-1 goes out as UTF-16 with a byte-order mark, which
  // the script host reads, instead of losing characters in 8 bits.
  const bool eightBit = FitsEightBits(script) && !StartsLikeUtf16Mark(script);
  const std::string bytes = eightBit ? EncodeEightBit(script) : EncodeUtf16WithBom(script);
  EightBitTextFile file(os_.files);
  const bool written = file.Open(RuleScriptName(name)) && file.WriteBytes(bytes);
  file.Close();
  return written && !file.Failed();
}

bool CVRNManager::ReadJSFromXml() {
  LogStarted(L"CVRNManager", L"ReadJSFromXml");
  const xml::GuardTexts texts{kSource,   L"Com error:", L"error",
                              L"Failed", L"error",      L"error unknown"};
  return xml::RunGuarded(*this, texts, [&] {
    auto document = xml::Need(os_.xml.CreateDocument());
    if (!xml::Load(*this, *document, kSource, m_sourceFolder + L"\\" + m_ruleFileName)) {
      WriteLog(kSource, L"Rule file not found", L"Failed");
      throw errRuleFileNotFound;
    }
    auto update = xml::FirstElement(*document, L"WebUpdate");
    xml::ForEachChild(*update, [&](XmlNode& child) {
      const std::wstring name = child.nodeName();
      if (name == L"rebootFlag") {
        const std::wstring value = xml::ValueOf(child);
        for (int flag = 0; flag <= 3; ++flag) {
          if (EqualsIgnoringCase(value, std::to_wstring(flag))) {
            m_rebootFlag = flag;
            break;
          }
        }
      } else if (name == L"matches") {
        xml::ForEachChildNamed(child, L"match", [&](XmlNode& match) {
          xml::ForEachChildNamed(match, L"matchString", [&](XmlNode& rule) {
            // Each one replaces the script: the last one wins.
            WriteRuleScript(L"Main", xml::ValueOf(rule));
          });
        });
      }
    });
    return true;
  });
}

}  // namespace qz
