// One fake machine, and the helpers shared by every fake.
#include <cwctype>

#include "platform/fake/fake_platform.h"

namespace qz::fake {

std::wstring Fold(const std::wstring& text) {
  std::wstring out = text;
  for (auto& ch : out) {
    if (ch < 0x80) ch = static_cast<wchar_t>(std::towlower(ch));
  }
  return out;
}

std::wstring W(const std::string& text) {
  std::wstring out;
  for (unsigned char c : text) out += static_cast<wchar_t>(c);
  return out;
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += static_cast<char>(c <= 0xFF ? c : '?');
  return out;
}

namespace {
void Furnish(FakeMachine& m) {
  m.files.AddFolder(L"C:\\Temp");
  m.files.AddFolder(L"C:\\patch");
  m.files.AddFolder(L"C:\\WINDOWS\\system32");
  m.modules.modules[L"kernel32.dll"].exports = {"IsWow64Process"};
}
}  // namespace

FakeMachine::FakeMachine()
    : os{system, files, registry, processes, modules, com, noXml, ui, resources,
         installer, shell, shutdown} {
  Furnish(*this);
}

FakeMachine::FakeMachine(
    const std::function<std::unique_ptr<port::XmlDom>(FakeFiles&)>& makeXml)
    : xmlOverride(makeXml(files)),
      os{system,    files, registry,  processes, modules, com, *xmlOverride,
         ui,        resources, installer, shell,  shutdown} {
  Furnish(*this);
}

std::string FakeMachine::LogBytes() const {
  const std::wstring path = system.tempPath.value_or(L"") + L"QZZqzvrn.log";
  return files.Contents(path).value_or("");
}

std::vector<std::string> FakeMachine::LogLines() const {
  std::vector<std::string> lines;
  const std::string bytes = LogBytes();
  std::size_t start = 0;
  while (start < bytes.size()) {
    const auto end = bytes.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(bytes.substr(start));
      break;
    }
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

}  // namespace qz::fake
