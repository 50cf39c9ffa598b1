#include "platform/fake/fake_platform.h"

#include <algorithm>
#include <cwctype>

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

// --- system information ---------------------------------------------------

bool FakeSystemInfo::GetVersionExW(port::OsVersionInfo& info) {
  if (versionQueryFails) return false;
  if (info.size == 284 && extendedRecordRejected) return false;
  if (info.size != 284 && info.size != 276) return false;
  const DWORD size = info.size;
  info = version;
  info.size = size;
  if (size == 276) info.productType = 0;
  return true;
}

std::wstring FakeSystemInfo::MultiByteToWideChar(const std::string& ansi) {
  return W(ansi);
}

std::optional<std::wstring> FakeSystemInfo::FormatMessageW(DWORD code) {
  auto it = systemMessages.find(code);
  if (it == systemMessages.end()) return std::nullopt;
  return it->second;
}

// --- files -----------------------------------------------------------------

std::wstring FakeFiles::Absolute(const std::wstring& path) const {
  const bool rooted = (path.size() >= 2 && path[1] == L':') ||
                      (!path.empty() && path[0] == L'\\');
  std::wstring full = rooted ? path : currentDirectory + L"\\" + path;
  while (full.size() > 3 && full.back() == L'\\') full.pop_back();
  return full;
}

namespace {
std::wstring ParentOf(const std::wstring& path) {
  const auto pos = path.find_last_of(L'\\');
  if (pos == std::wstring::npos) return {};
  return path.substr(0, pos == 2 ? 3 : pos);
}
}  // namespace

void FakeFiles::AddFolder(const std::wstring& path) {
  const std::wstring full = Absolute(path);
  const std::wstring parent = ParentOf(full);
  if (!parent.empty() && parent != full && parent.size() > 3 && !Exists(parent)) {
    AddFolder(parent);
  }
  Entry e;
  e.directory = true;
  entries[Fold(full)] = e;
}

void FakeFiles::AddFile(const std::wstring& path, const std::string& contents) {
  const std::wstring full = Absolute(path);
  const std::wstring parent = ParentOf(full);
  if (parent.size() > 3 && !Exists(parent)) AddFolder(parent);
  Entry e;
  e.contents = contents;
  entries[Fold(full)] = e;
}

FakeFiles::Entry* FakeFiles::Find(const std::wstring& path) {
  auto it = entries.find(Fold(Absolute(path)));
  return it == entries.end() ? nullptr : &it->second;
}

bool FakeFiles::Exists(const std::wstring& path) const {
  return entries.count(Fold(Absolute(path))) != 0;
}

std::optional<std::string> FakeFiles::Contents(const std::wstring& path) const {
  auto it = entries.find(Fold(Absolute(path)));
  if (it == entries.end() || it->second.directory) return std::nullopt;
  return it->second.contents;
}

Handle FakeFiles::CreateFileW(const std::wstring& path) {
  const std::wstring full = Absolute(path);
  const std::wstring parent = ParentOf(full);
  if (parent.empty() || unwritableFolders.count(Fold(parent))) return 0;
  if (parent.size() > 3 && !Exists(parent)) return 0;
  Entry* existing = Find(full);
  if (existing && (existing->directory || existing->locked)) return 0;
  entries[Fold(full)] = Entry{};
  const Handle h = next_++;
  open_[h] = Fold(full);
  return h;
}

bool FakeFiles::WriteFile(Handle file, const void* data, std::size_t size) {
  auto it = open_.find(file);
  if (it == open_.end() || failWrites) return false;
  entries[it->second].contents.append(static_cast<const char*>(data), size);
  return true;
}

bool FakeFiles::CloseHandle(Handle file) { return open_.erase(file) != 0; }

bool FakeFiles::FindFirstFileW(const std::wstring& pattern) {
  return Exists(pattern);
}

bool FakeFiles::CreateDirectoryW(const std::wstring& path) {
  const std::wstring full = Absolute(path);
  const std::wstring parent = ParentOf(full);
  if (Exists(full) || (parent.size() > 3 && !Exists(parent))) return false;
  if (unwritableFolders.count(Fold(parent))) return false;
  Entry e;
  e.directory = true;
  entries[Fold(full)] = e;
  createdDirectories.push_back(full);
  return true;
}

bool FakeFiles::CopyFileW(const std::wstring& from, const std::wstring& to,
                          bool failIfExists) {
  const auto source = Contents(from);
  if (!source) return false;
  const std::wstring full = Absolute(to);
  const std::wstring parent = ParentOf(full);
  if (parent.size() > 3 && !Exists(parent)) return false;
  if (unwritableFolders.count(Fold(parent))) return false;
  Entry* target = Find(full);
  if (target && (failIfExists || target->locked || target->directory)) return false;
  Entry e;
  e.contents = *source;
  entries[Fold(full)] = e;
  copies.emplace_back(Absolute(from), full);
  return true;
}

bool FakeFiles::DeleteFileW(const std::wstring& path) {
  Entry* e = Find(path);
  if (!e || e->directory || e->locked) return false;
  entries.erase(Fold(Absolute(path)));
  return true;
}

// --- registry --------------------------------------------------------------

void FakeRegistry::AddKey(const std::wstring& key) { keys[Fold(key)]; }

void FakeRegistry::SetValue(const std::wstring& key, const std::wstring& name,
                            Value value) {
  keys[Fold(key)][Fold(name)] = std::move(value);
}

void FakeRegistry::SetString(const std::wstring& key, const std::wstring& name,
                             const std::wstring& value, bool terminate) {
  Value v;
  v.type = port::kRegSz;
  for (wchar_t ch : value) {
    v.data.push_back(static_cast<std::uint8_t>(ch & 0xFF));
    v.data.push_back(static_cast<std::uint8_t>((ch >> 8) & 0xFF));
  }
  if (terminate) {
    v.data.push_back(0);
    v.data.push_back(0);
  }
  SetValue(key, name, std::move(v));
}

LONG FakeRegistry::RegOpenKeyExW(const std::wstring& subKey, DWORD, Handle& key) {
  if (!keys.count(Fold(subKey))) return port::kErrorFileNotFound;
  key = next_++;
  open_[key] = Fold(subKey);
  return port::kErrorSuccess;
}

LONG FakeRegistry::RegQueryValueExW(Handle key, const std::wstring& valueName,
                                    DWORD bufferBytes, DWORD& type,
                                    std::vector<std::uint8_t>& data,
                                    DWORD& requiredBytes) {
  auto k = open_.find(key);
  if (k == open_.end()) return 6;  // ERROR_INVALID_HANDLE
  const auto& values = keys[k->second];
  auto v = values.find(Fold(valueName));
  if (v == values.end()) return port::kErrorFileNotFound;
  requiredBytes = static_cast<DWORD>(v->second.data.size());
  type = v->second.type;
  if (v->second.data.size() > bufferBytes) return port::kErrorMoreData;
  data = v->second.data;
  return port::kErrorSuccess;
}

LONG FakeRegistry::RegCloseKey(Handle key) {
  return open_.erase(key) ? port::kErrorSuccess : 6;
}

// --- processes -------------------------------------------------------------

bool FakeProcesses::CreateProcessW(const std::wstring& applicationName,
                                   const std::wstring& commandLine,
                                   DWORD creationFlags,
                                   port::ProcessInformation& info,
                                   DWORD& lastError) {
  launches.push_back({applicationName, commandLine, creationFlags});
  auto it = programs.find(Fold(applicationName));
  if (it == programs.end()) {
    if (unknownProgramError) {
      lastError = *unknownProgramError;
      return false;
    }
    it = programs.emplace(Fold(applicationName), Program{}).first;
  }
  if (it->second.startError) {
    lastError = *it->second.startError;
    return false;
  }
  if (it->second.onStart) it->second.onStart();
  info.process = next_++;
  info.thread = next_++;
  open_[info.process] = Running{it->second, false};
  open_[info.thread] = Running{{}, true};
  return true;
}

bool FakeProcesses::GetExitCodeProcess(Handle process, DWORD& exitCode) {
  ++exitCodeQueries;
  auto it = open_.find(process);
  if (it == open_.end() || it->second.thread) return false;
  Program& p = it->second.program;
  if (p.failedQueries > 0) {
    --p.failedQueries;
    return false;
  }
  if (p.neverEnds || p.stillActiveQueries > 0) {
    if (p.stillActiveQueries > 0) --p.stillActiveQueries;
    exitCode = port::kStillActive;
    return true;
  }
  exitCode = p.exitCode;
  return true;
}

DWORD FakeProcesses::WaitForSingleObject(Handle object, DWORD milliseconds) {
  waits.push_back(milliseconds);
  auto it = open_.find(object);
  if (it == open_.end()) return port::kWaitFailed;
  Program& p = it->second.program;
  if (p.neverEnds) return port::kWaitTimeout;
  if (p.waitsBeforeExit > 0) {
    --p.waitsBeforeExit;
    return port::kWaitTimeout;
  }
  // Once the process is waited for to its end it no longer reports 259
  // (unless that is its real exit code).
  p.stillActiveQueries = 0;
  return port::kWaitObject0;
}

bool FakeProcesses::CloseHandle(Handle object) { return open_.erase(object) != 0; }

// --- modules ---------------------------------------------------------------

Handle FakeModules::LoadLibraryW(const std::wstring& path) {
  loaded.push_back(path);
  if (!modules.count(Fold(path))) return 0;
  const Handle h = next_++;
  open_[h] = Fold(path);
  return h;
}

bool FakeModules::GetProcAddress(Handle module, const std::string& name) {
  auto it = open_.find(module);
  return it != open_.end() && modules[it->second].exports.count(name) != 0;
}

std::optional<bool> FakeModules::IsWow64Process(Handle kernel32) {
  auto it = open_.find(kernel32);
  if (it == open_.end()) return std::nullopt;
  const Module& m = modules[it->second];
  if (!m.exports.count("IsWow64Process")) return std::nullopt;
  return m.wow64.value_or(false);
}

std::optional<HRESULT> FakeModules::DllRegisterServer(Handle module) {
  auto it = open_.find(module);
  if (it == open_.end()) return std::nullopt;
  Module& m = modules[it->second];
  if (!m.exports.count("DllRegisterServer")) return std::nullopt;
  if (m.onRegister) m.onRegister();
  return m.registerResult.value_or(port::kSOk);
}

bool FakeModules::FreeLibrary(Handle module) { return open_.erase(module) != 0; }

// --- COM -------------------------------------------------------------------

void FakeCom::Register(const std::wstring& progId, bool isCreatable) {
  port::Clsid id{};
  const std::wstring key = Fold(progId);
  for (std::size_t i = 0; i < key.size(); ++i) {
    id[i % id.size()] = static_cast<std::uint8_t>(id[i % id.size()] * 31 + key[i]);
  }
  progIds[key] = id;
  if (isCreatable) creatable.insert(id);
}

HRESULT FakeCom::CLSIDFromProgID(const std::wstring& progId, port::Clsid& clsid) {
  progIdLookups.push_back(progId);
  auto it = progIds.find(Fold(progId));
  if (it == progIds.end()) return static_cast<HRESULT>(0x800401F3u);  // CO_E_CLASSSTRING
  clsid = it->second;
  return port::kSOk;
}

HRESULT FakeCom::CoCreateInstance(const port::Clsid& clsid) {
  return creatable.count(clsid) ? port::kSOk : port::kClassNotReg;
}

// --- resources -------------------------------------------------------------

void FakeResources::SetString(LANGID language, unsigned id, const std::wstring& text) {
  auto& block = blocks[{id / 16 + 1, language}];
  // Rebuild the block from its 16 strings.
  std::vector<std::wstring> strings(16);
  std::size_t pos = 0;
  for (unsigned i = 0; i < 16 && pos < block.size(); ++i) {
    const std::size_t len = block[pos];
    for (std::size_t k = 0; k < len && pos + 1 + k < block.size(); ++k) {
      strings[i] += static_cast<wchar_t>(block[pos + 1 + k]);
    }
    pos += 1 + len;
  }
  strings[id % 16] = text;
  block.clear();
  for (const auto& s : strings) {
    block.push_back(static_cast<std::uint16_t>(s.size()));
    for (wchar_t ch : s) block.push_back(static_cast<std::uint16_t>(ch));
  }
}

std::optional<std::vector<std::uint16_t>> FakeResources::FindStringBlock(
    unsigned block, LANGID language) {
  lookups.emplace_back(block, language);
  auto it = blocks.find({block, language});
  if (it == blocks.end()) return std::nullopt;
  return it->second;
}

std::wstring FakeResources::LoadStringW(unsigned id) {
  auto it = plainStrings.find(id);
  return it == plainStrings.end() ? std::wstring() : it->second;
}

// --- machine ---------------------------------------------------------------

namespace {
void Furnish(FakeMachine& m) {
  m.files.AddFolder(L"C:\\Temp");
  m.files.AddFolder(L"C:\\patch");
  m.files.AddFolder(L"C:\\WINDOWS\\system32");
  m.modules.modules[L"kernel32.dll"].exports = {"IsWow64Process"};
}
}  // namespace

FakeMachine::FakeMachine()
    : os{system, files, registry, processes, modules, com, noXml, ui, resources} {
  Furnish(*this);
}

FakeMachine::FakeMachine(
    const std::function<std::unique_ptr<port::XmlDom>(FakeFiles&)>& makeXml)
    : xmlOverride(makeXml(files)),
      os{system, files, registry, processes, modules, com, *xmlOverride, ui, resources} {
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
