// In-memory fakes of every port interface, for the native unit tests. Each
// is as simple as the tests allow: maps of paths, keys and scripted
// outcomes, and a record of what the core asked for.
#pragma once
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace qz::fake {

using port::DWORD;
using port::Handle;
using port::HRESULT;
using port::LANGID;
using port::LONG;

// Case-folded key for paths, registry keys and value names.
std::wstring Fold(const std::wstring& text);

class FakeSystemInfo : public port::SystemInfo {
 public:
  std::optional<std::wstring> currentDirectory = L"C:\\patch";
  std::optional<std::wstring> tempPath = L"C:\\Temp\\";
  std::optional<std::wstring> systemDirectory = L"C:\\WINDOWS\\system32";
  DWORD tickCount = 1000;
  // Advances on every GetTickCount and Sleep, so waits are visible.
  DWORD sleptMilliseconds = 0;
  std::vector<DWORD> sleeps;
  port::OsVersionInfo version{284, 5, 1, 2600, 2, 1};
  bool extendedRecordRejected = false;
  bool versionQueryFails = false;
  LANGID systemLanguage = 1033;
  LANGID threadLanguage = 1033;
  LANGID userUiLanguage = 1033;
  std::map<DWORD, std::wstring> systemMessages;

  std::optional<std::wstring> GetCurrentDirectoryW() override { return currentDirectory; }
  std::optional<std::wstring> GetTempPathW() override { return tempPath; }
  std::optional<std::wstring> GetSystemDirectoryW() override { return systemDirectory; }
  DWORD GetTickCount() override { return tickCount + sleptMilliseconds; }
  void Sleep(DWORD ms) override {
    sleeps.push_back(ms);
    sleptMilliseconds += ms;
  }
  bool GetVersionExW(port::OsVersionInfo& info) override;
  LANGID GetSystemDefaultLangID() override { return systemLanguage; }
  LANGID GetThreadLangID() override { return threadLanguage; }
  LANGID GetUserDefaultUILanguage() override { return userUiLanguage; }
  // The fake's ANSI code page is Latin-1.
  std::wstring MultiByteToWideChar(const std::string& ansi) override;
  std::optional<std::wstring> FormatMessageW(DWORD code) override;
};

class FakeFiles : public port::Files {
 public:
  struct Entry {
    std::string contents;
    bool directory = false;
    bool locked = false;  // cannot be opened for writing or replaced
  };
  // Relative paths are taken against this folder, as the process's current
  // directory would be.
  std::wstring currentDirectory = L"C:\\patch";
  std::set<std::wstring> unwritableFolders;  // folded; CreateFileW fails there
  bool failWrites = false;

  void AddFile(const std::wstring& path, const std::string& contents = {});
  void AddFolder(const std::wstring& path);
  bool Exists(const std::wstring& path) const;
  std::optional<std::string> Contents(const std::wstring& path) const;
  Entry* Find(const std::wstring& path);
  std::wstring Absolute(const std::wstring& path) const;
  std::size_t OpenHandles() const { return open_.size(); }

  Handle CreateFileW(const std::wstring& path) override;
  bool WriteFile(Handle file, const void* data, std::size_t size) override;
  bool CloseHandle(Handle file) override;
  bool FindFirstFileW(const std::wstring& pattern) override;
  bool CreateDirectoryW(const std::wstring& path) override;
  bool CopyFileW(const std::wstring& from, const std::wstring& to,
                 bool failIfExists) override;
  bool DeleteFileW(const std::wstring& path) override;

  std::map<std::wstring, Entry> entries;  // by folded absolute path
  std::vector<std::wstring> createdDirectories;
  std::vector<std::pair<std::wstring, std::wstring>> copies;

 private:
  std::map<Handle, std::wstring> open_;
  Handle next_ = 0x100;
};

class FakeRegistry : public port::Registry {
 public:
  struct Value {
    DWORD type = port::kRegSz;
    std::vector<std::uint8_t> data;
  };
  // A string value stored with its terminator (as RegSetValueExW does),
  // or without it when `terminate` is false.
  void SetString(const std::wstring& key, const std::wstring& name,
                 const std::wstring& value, bool terminate = true);
  void SetValue(const std::wstring& key, const std::wstring& name, Value value);
  void AddKey(const std::wstring& key);
  std::size_t OpenKeys() const { return open_.size(); }

  LONG RegOpenKeyExW(const std::wstring& subKey, DWORD access, Handle& key) override;
  LONG RegQueryValueExW(Handle key, const std::wstring& valueName,
                        DWORD bufferBytes, DWORD& type,
                        std::vector<std::uint8_t>& data,
                        DWORD& requiredBytes) override;
  LONG RegCloseKey(Handle key) override;

  std::map<std::wstring, std::map<std::wstring, Value>> keys;  // folded

 private:
  std::map<Handle, std::wstring> open_;
  Handle next_ = 0x200;
};

class FakeProcesses : public port::Processes {
 public:
  // What a started program does, by folded application path.
  struct Program {
    DWORD exitCode = 0;
    std::optional<DWORD> startError;  // CreateProcessW fails with this
    int stillActiveQueries = 0;       // exit-code queries that say 259 first
    int failedQueries = 0;            // exit-code queries that fail first
    int waitsBeforeExit = 0;          // waits that time out before the end
    bool neverEnds = false;
    // Run when the process starts, e.g. to let the program write files.
    std::function<void()> onStart;
  };
  struct Launch {
    std::wstring applicationName;
    std::wstring commandLine;
    DWORD creationFlags;
  };
  std::map<std::wstring, Program> programs;
  std::optional<DWORD> unknownProgramError = 2;  // ERROR_FILE_NOT_FOUND
  std::vector<Launch> launches;
  int exitCodeQueries = 0;
  std::vector<DWORD> waits;
  std::size_t OpenHandles() const { return open_.size(); }

  bool CreateProcessW(const std::wstring& applicationName,
                      const std::wstring& commandLine, DWORD creationFlags,
                      port::ProcessInformation& info, DWORD& lastError) override;
  bool GetExitCodeProcess(Handle process, DWORD& exitCode) override;
  DWORD WaitForSingleObject(Handle object, DWORD milliseconds) override;
  bool CloseHandle(Handle object) override;

 private:
  struct Running {
    Program program;
    bool thread = false;
  };
  std::map<Handle, Running> open_;
  Handle next_ = 0x300;
};

class FakeModules : public port::Modules {
 public:
  struct Module {
    std::set<std::string> exports;
    std::optional<bool> wow64;                // IsWow64Process's answer
    std::optional<HRESULT> registerResult;    // DllRegisterServer's result
    std::function<void()> onRegister;
  };
  std::map<std::wstring, Module> modules;  // by folded path or name
  std::vector<std::wstring> loaded;
  std::size_t LoadedNow() const { return open_.size(); }

  Handle LoadLibraryW(const std::wstring& path) override;
  bool GetProcAddress(Handle module, const std::string& name) override;
  std::optional<bool> IsWow64Process(Handle kernel32) override;
  std::optional<HRESULT> DllRegisterServer(Handle module) override;
  bool FreeLibrary(Handle module) override;

 private:
  std::map<Handle, std::wstring> open_;
  Handle next_ = 0x400;
};

class FakeCom : public port::Com {
 public:
  HRESULT initializeResult = port::kSOk;
  int initialized = 0;
  int uninitialized = 0;
  std::map<std::wstring, port::Clsid> progIds;  // folded
  std::set<port::Clsid> creatable;
  std::vector<std::wstring> progIdLookups;

  HRESULT CoInitialize() override {
    ++initialized;
    return initializeResult;
  }
  void CoUninitialize() override { ++uninitialized; }
  HRESULT CLSIDFromProgID(const std::wstring& progId, port::Clsid& clsid) override;
  HRESULT CoCreateInstance(const port::Clsid& clsid) override;
  // Registers `progId` with a class id and makes it creatable or not.
  void Register(const std::wstring& progId, bool isCreatable = true);
};

class FakeUi : public port::Ui {
 public:
  struct Box {
    Handle owner;
    std::wstring text;
    std::wstring caption;
    unsigned style;
  };
  static constexpr Handle kDesktop = 0x10010;
  std::vector<Box> boxes;
  Handle GetDesktopWindow() override { return kDesktop; }
  int MessageBoxW(Handle owner, const std::wstring& text,
                  const std::wstring& caption, unsigned style) override {
    boxes.push_back({owner, text, caption, style});
    return 1;  // IDOK
  }
};

class FakeResources : public port::Resources {
 public:
  // Puts string `id` into the block of `language`.
  void SetString(LANGID language, unsigned id, const std::wstring& text);
  std::map<unsigned, std::wstring> plainStrings;  // what LoadStringW gives
  std::vector<std::pair<unsigned, LANGID>> lookups;

  std::optional<std::vector<std::uint16_t>> FindStringBlock(unsigned block,
                                                            LANGID language) override;
  std::wstring LoadStringW(unsigned id) override;

  // Raw blocks by (block number, language); tests may store torn ones.
  std::map<std::pair<unsigned, LANGID>, std::vector<std::uint16_t>> blocks;
};

// An XML DOM that refuses to be created; the pugixml adapter replaces it
// where a test reads XML.
class NoXmlDom : public port::XmlDom {
 public:
  HRESULT error = port::kClassNotReg;
  std::unique_ptr<port::XmlDocument> CreateDocument() override {
    throw port::ComError(error);
  }
};

// One fake machine. `os` hands the port to the core; tests may replace
// `xml` with a real DOM over `files`.
struct FakeMachine {
  FakeSystemInfo system;
  FakeFiles files;
  FakeRegistry registry;
  FakeProcesses processes;
  FakeModules modules;
  FakeCom com;
  NoXmlDom noXml;
  FakeUi ui;
  FakeResources resources;
  std::unique_ptr<port::XmlDom> xmlOverride;
  port::Platform os;

  FakeMachine();
  // `makeXml` builds the DOM the core will use, typically over `files`.
  explicit FakeMachine(
      const std::function<std::unique_ptr<port::XmlDom>(FakeFiles&)>& makeXml);
  // The log as bytes, and split into lines without their CRLF.
  std::string LogBytes() const;
  std::vector<std::string> LogLines() const;
};

// UTF-8/ASCII test text to a wide string and back (Latin-1 for bytes).
std::wstring W(const std::string& text);
std::string Narrow(const std::wstring& text);

}  // namespace qz::fake
