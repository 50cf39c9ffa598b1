#include "tests/fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>

#include "manager/script_texts.h"
#include "platform/fake/xml_dom_pugixml.h"

namespace qz::fuzz {

namespace {

// A log line holds three fields of at most 255 characters and two "  ".
constexpr std::size_t kLongestLogLine = 3 * 255 + 4;
const std::wstring kLogPath = L"c:\\temp\\qzzqzvrn.log";
const std::wstring kReturnCodePath = L"c:\\patch\\qzvrn_returncode.txt";
const std::wstring kScriptPrefix = L"c:\\patch\\testcode_";

std::wstring Widen(const char* ascii) {
  std::wstring out;
  for (const char* p = ascii; *p; ++p) out += static_cast<wchar_t>(*p);
  return out;
}

bool EndsWith(const std::wstring& text, const std::wstring& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

void CheckLog(const std::string& bytes) {
  std::size_t start = 0;
  while (start < bytes.size()) {
    const auto end = bytes.find("\r\n", start);
    Check(end != std::string::npos, "the log ends inside a line");
    const std::string line = bytes.substr(start, end - start);
    Check(line.find_first_of("\r\n") == std::string::npos, "a log entry spans more than one line");
    Check(line.size() <= kLongestLogLine, "a log line is longer than its fields allow");
    start = end + 2;
  }
}

// A created file must be the log, the return-code file or a rule script right in the patch
// folder: an outside name must not reach another folder or stream.
void CheckCreatedFile(const std::wstring& path, const std::string& bytes, bool builtInTexts) {
  if (path == kLogPath || path == kReturnCodePath) return;
  Check(path.compare(0, kScriptPrefix.size(), kScriptPrefix) == 0 && EndsWith(path, L".js"),
        "a file other than the log or a rule script was created");
  const std::wstring name = path.substr(kScriptPrefix.size());
  Check(name.find_first_of(L"\\/:") == std::wstring::npos,
        "a rule script name leaves the patch folder");
  std::wstring text;
  Check(DecodeScript(bytes, text), "a rule script is neither 8-bit nor UTF-16 text");
  if (!builtInTexts) return;
  const std::wstring header = Widen(kBuiltInScriptHeader) + L"\n";
  const std::wstring footer = Widen(kBuiltInScriptFooter) + L"\n";
  Check(text.compare(0, header.size(), header) == 0 && EndsWith(text, footer) &&
            text.size() >= header.size() + footer.size(),
        "a rule script is not framed by the header and footer");
}

}  // namespace

void Check(bool ok, const std::string& what) {
  if (!ok) throw CheckFailed{what};
}

Machine::Machine() : fake([](fake::FakeFiles& files) { return fake::MakePugixmlDom(files); }) {
  Remember();
}

void Machine::Put(const std::wstring& path, const std::uint8_t* data, std::size_t size) {
  fake.files.AddFile(path, std::string(reinterpret_cast<const char*>(data), size));
  Remember();
}

void Machine::Remember() {
  for (const auto& entry : fake.files.entries) before.insert(entry.first);
}

void CheckLastEntry(const Machine& machine, int result, const std::string& success,
                    const std::string& source) {
  const auto lines = machine.fake.LogLines();
  Check(!lines.empty(), "the reader wrote no log entry");
  if (result == -1) {
    Check(lines.back() == success, "a read that returned true ended on \"" + lines.back() + "\"");
  } else {
    Check(lines.back().rfind(source + "  ", 0) == 0, "a failed read did not end on its own entry");
  }
}

void CheckAfterRun(const Machine& machine, bool builtInTexts) {
  CheckLog(machine.fake.LogBytes());
  Check(machine.fake.files.OpenHandles() == 0, "a file handle was left open");
  for (const auto& [path, entry] : machine.fake.files.entries) {
    if (machine.before.count(path)) continue;
    Check(!entry.directory, "a reader created a folder");
    CheckCreatedFile(path, entry.contents, builtInTexts);
  }
}

bool DecodeScript(const std::string& bytes, std::wstring& text) {
  std::vector<std::uint32_t> units;
  const bool wide = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE';
  if (wide) {
    if (bytes.size() % 2 != 0) return false;
    for (std::size_t i = 2; i < bytes.size(); i += 2) {
      units.push_back(static_cast<unsigned char>(bytes[i]) |
                      static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
  } else {
    for (unsigned char byte : bytes) units.push_back(byte);
  }
  text.clear();
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (units[i] == L'\r' && i + 1 < units.size() && units[i + 1] == L'\n') {
      text += L'\n';
      ++i;
    } else if (units[i] == L'\n') {
      return false;  // every line feed is written as CRLF
    } else {
      text += static_cast<wchar_t>(units[i]);
    }
  }
  return true;
}

std::vector<std::wstring> WideParts(const std::uint8_t* data, std::size_t size) {
  std::vector<std::wstring> parts(1);
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    const auto unit = static_cast<wchar_t>(data[i] | data[i + 1] << 8);
    if (unit == 0) {
      parts.emplace_back();
    } else {
      parts.back() += unit;
    }
  }
  return parts;
}

int RunForLibFuzzer(int (*target)(const std::uint8_t*, std::size_t), const std::uint8_t* data,
                    std::size_t size) {
  try {
    return target(data, size);
  } catch (const CheckFailed& failed) {
    std::fprintf(stderr, "fuzz check failed: %s\n", failed.what.c_str());
    std::abort();
  }
}

}  // namespace qz::fuzz
