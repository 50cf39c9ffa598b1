// One fake machine, and the helpers shared by every fake.
#include "platform/fake/fake_platform.h"

namespace qz::fake {

namespace {

// The upper-case partner of a lower-case letter, or the letter itself.
wchar_t Upper(wchar_t c) {
  if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - 0x20);
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) ||
      (c >= 0x430 && c <= 0x44F)) {
    return static_cast<wchar_t>(c - 0x20);
  }
  if (c == 0xFF) return 0x178;
  if (c >= 0x450 && c <= 0x45F) return static_cast<wchar_t>(c - 0x50);
  // Latin Extended-A: pairs, upper case first, with two runs that start odd.
  if (((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) && (c & 1)) return c - 1;
  if (((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) && !(c & 1)) return c - 1;
  return c;
}

wchar_t Lower(wchar_t c) {
  if (c == 0x178) return 0xFF;
  if (c == 0xD7 || c == 0xDF) return c;
  for (wchar_t lower : {static_cast<wchar_t>(c + 0x20), static_cast<wchar_t>(c + 0x50),
                        static_cast<wchar_t>(c + 1)}) {
    if (lower != c && Upper(lower) == c) return lower;
  }
  return c;
}

}  // namespace

std::wstring Fold(const std::wstring& text) {
  std::wstring out = text;
  for (auto& ch : out) ch = Lower(ch);
  return out;
}

std::wstring UpperCase(const std::wstring& text) {
  std::wstring out = text;
  for (auto& ch : out) ch = Upper(ch);
  return out;
}

port::Result<port::NamedMutex> FakeSynchronization::CreateMutexW(const std::wstring& name) {
  bool alreadyExists = heldElsewhere.count(name) != 0;
  for (const auto& [handle, held] : open_) alreadyExists = alreadyExists || held == name;
  if (fails) return port::Result<port::NamedMutex>::Failed(port::kErrorAccessDenied);
  created.push_back(name);
  const port::MutexHandle h{next_++};
  open_[h] = name;
  return port::Result<port::NamedMutex>::Ok({h, alreadyExists});
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
    : os{system, files,     registry,  processes, modules,  com, noXml,
         ui,     resources, installer, shell,     shutdown, sync} {
  Furnish(*this);
}

FakeMachine::FakeMachine(const std::function<std::unique_ptr<port::XmlDom>(FakeFiles&)>& makeXml)
    : xmlOverride(makeXml(files)), os{system, files,        registry, processes, modules,
                                      com,    *xmlOverride, ui,       resources, installer,
                                      shell,  shutdown,     sync} {
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
