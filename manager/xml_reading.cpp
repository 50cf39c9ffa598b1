#include "manager/xml_reading.h"

#include <cstdint>

#include "manager/manager.h"
#include "common/text_compare.h"

namespace qz::xml {

namespace {
std::wstring Hex(std::uint32_t value) {
  static const wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring out;
  do {
    out.insert(out.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return out;
}
}  // namespace

std::wstring ComErrorMessage(port::SystemInfo& system, port::HRESULT code) {
  const auto value = static_cast<std::uint32_t>(code);
  if (port::Result<std::wstring> message = system.FormatMessageW(value)) {
    // The port already drops the line end; a stray one is dropped here too
    // so that the log line stays one line.
    std::wstring& text = message.value;
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    return text;
  }
  if (value >= 0x80040200u && value <= 0x8004FFFFu) {
    return L"IDispatch error #" + std::to_wstring(value - 0x80040200u);
  }
  return L"Unknown error 0x" + Hex(value);
}

_error ErrorForComFailure(port::HRESULT code) {
  if (code == port::kClassNotReg || code == port::kEInvalidArg || code == port::kENoInterface) {
    return errConfigurationNotProper;
  }
  return errGeneralFailure;
}

std::unique_ptr<port::XmlNode> FirstElement(port::XmlDocument& document, const std::wstring& name) {
  return Need(Need(document.getElementsByTagName(name))->item(0));
}

std::wstring ValueOf(port::XmlNode& node) { return Need(node.firstChild())->text(); }

bool IsTrue(const std::wstring& value) { return EqualsIgnoringCase(value, L"TRUE"); }

std::wstring AttributeText(port::XmlNode& node, long index) {
  return Need(Need(node.attributes())->item(index))->text();
}

void LogEntry(CVRNManager& manager, const std::wstring& source, const std::wstring& text,
              const std::wstring& status) {
  manager.WriteLog(source, text, status);
}

port::SystemInfo& SystemOf(CVRNManager& manager) { return manager.Os().system; }

bool Load(CVRNManager& m, port::XmlDocument& doc, const wchar_t* source, const std::wstring& path) {
  if (doc.load(path)) return true;
  if (doc.documentTypeRefused()) {
    m.WriteLog(source, L"Document type not allowed: " + path, L"Failed");
  }
  return false;
}

}  // namespace qz::xml
