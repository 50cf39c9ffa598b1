// In-memory fakes of every port interface, for the native unit tests. Each
// is as simple as the tests allow: maps of paths, keys and scripted
// outcomes, and a record of what the core asked for.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/deployment.h"
#include "platform/library_search.h"
#include "platform/platform.h"

namespace qz::fake {

using port::DWORD;
using port::Handle;
using port::HRESULT;
using port::LANGID;
using port::LONG;

// Case-folded key for paths, registry keys and value names: the letters
// of ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic fold, as the
// system's upper-case table folds them.
std::wstring Fold(const std::wstring& text);
// The same table upwards: the fake's CharUpperBuffW.
std::wstring UpperCase(const std::wstring& text);

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
    bool locked = false;      // open without sharing: cannot be written, replaced or deleted
    DWORD attributes = 0x20;  // FILE_ATTRIBUTE_ARCHIVE; folders 0x10
    std::optional<std::size_t> readFailsAt;  // ReadFile fails from this offset (a bad sector)
  };
  // Relative paths are taken against this folder, as the process's current
  // directory would be.
  std::wstring currentDirectory = L"C:\\patch";
  std::set<std::wstring> unwritableFolders;  // folded; nothing can be created there
  bool failWrites = false;
  std::optional<std::size_t> freeBytes;  // a copy larger than this fails (disk full)

  void AddFile(const std::wstring& path, const std::string& contents = {});
  void AddFolder(const std::wstring& path);
  bool Exists(const std::wstring& path) const;
  std::optional<std::string> Contents(const std::wstring& path) const;
  Entry* Find(const std::wstring& path);
  // The names directly in `folder`, in folded-path order.
  std::vector<std::wstring> Names(const std::wstring& folder) const;
  std::wstring Absolute(const std::wstring& path) const;
  std::size_t OpenHandles() const { return open_.size() + searches_.size(); }

  using port::Files::FindFirstFileW;
  Handle CreateFileW(const std::wstring& path) override;
  Handle CreateFileW(const std::wstring& path, DWORD desiredAccess,
                     DWORD creationDisposition) override;
  Handle CreateFileW(const std::wstring& path, DWORD desiredAccess, DWORD creationDisposition,
                     DWORD shareMode) override;
  bool WriteFile(Handle file, const void* data, std::size_t size) override;
  bool ReadFile(Handle file, void* data, std::size_t size, std::size_t& read) override;
  bool FlushFileBuffers(Handle file) override;
  bool CloseHandle(Handle file) override;
  Handle FindFirstFileW(const std::wstring& pattern, port::FindData& found) override;
  bool FindNextFileW(Handle search, port::FindData& found) override;
  bool FindClose(Handle search) override;
  DWORD GetFileAttributesW(const std::wstring& path) override;
  port::Status SetFileAttributesW(const std::wstring& path, DWORD attributes) override;
  port::Status CreateDirectoryW(const std::wstring& path) override;
  port::Status RemoveDirectoryW(const std::wstring& path) override;
  port::Status CopyFileW(const std::wstring& from, const std::wstring& to,
                         bool failIfExists) override;
  port::Status MoveFileW(const std::wstring& from, const std::wstring& to) override;
  port::Status DeleteFileW(const std::wstring& path) override;
  std::wstring CharUpperBuffW(const std::wstring& text) override { return UpperCase(text); }
  int CompareStringOrdinal(const std::wstring& a, const std::wstring& b) override {
    const std::wstring upperA = UpperCase(a), upperB = UpperCase(b);
    return upperA == upperB ? port::kCstrEqual : upperA < upperB ? 1 : 3;
  }
  // Whether an open handle of another holder keeps writers out of `path`.
  bool HeldAgainstWriting(const std::wstring& path) const;

  // Writes a file as an installer would, into an existing folder.
  void Put(const std::wstring& full, Entry e);

  std::map<std::wstring, Entry> entries;  // by folded absolute path
  std::vector<std::wstring> createdDirectories;
  std::vector<std::pair<std::wstring, std::wstring>> copies;
  std::vector<std::pair<std::wstring, std::wstring>> moves;
  // By folded path: the size the file had at its last FlushFileBuffers,
  // what a power cut would leave of it.
  std::map<std::wstring, std::size_t> flushedSizes;

 private:
  struct Open {
    std::wstring path;  // folded
    bool writable = true;
    std::size_t position = 0;
    DWORD share = port::kFileShareRead | port::kFileShareWrite;
  };
  bool WritableFolder(const std::wstring& full) const;
  void Erase(const std::wstring& full);
  std::map<std::wstring, std::wstring> names_;  // folded path -> name as created
  std::map<Handle, Open> open_;
  struct Search {
    std::vector<port::FindData> matches;
    std::size_t next = 0;
  };
  std::map<Handle, Search> searches_;
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
  void SetString(const std::wstring& key, const std::wstring& name, const std::wstring& value,
                 bool terminate = true);
  void SetValue(const std::wstring& key, const std::wstring& name, Value value);
  void AddKey(const std::wstring& key);
  std::size_t OpenKeys() const { return open_.size(); }

  LONG RegOpenKeyExW(const std::wstring& subKey, DWORD access, Handle& key) override;
  LONG RegQueryValueExW(Handle key, const std::wstring& valueName, DWORD bufferBytes, DWORD& type,
                        std::vector<std::uint8_t>& data, DWORD& requiredBytes) override;
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

  bool CreateProcessW(const std::wstring& applicationName, const std::wstring& commandLine,
                      DWORD creationFlags, port::ProcessInformation& info,
                      DWORD& lastError) override;
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

// What a system has of the two calls (nullopt: it lacks the call) and
// what each answers; every call is recorded in order.
class FakeLibrarySearch : public port::LibrarySearch {
 public:
  std::optional<bool> defaultDirectories = true;
  std::optional<bool> dllDirectory = true;
  std::vector<std::wstring> calls;

  std::optional<bool> SetDefaultDllDirectories(DWORD flags) override {
    calls.push_back(L"SetDefaultDllDirectories " + std::to_wstring(flags));
    return defaultDirectories;
  }
  std::optional<bool> SetDllDirectoryW(const std::wstring& path) override {
    calls.push_back(L"SetDllDirectoryW \"" + path + L"\"");
    return dllDirectory;
  }
};

class FakeModules : public port::Modules {
 public:
  struct Module {
    std::set<std::string> exports;
    std::optional<bool> wow64;              // IsWow64Process's answer
    std::optional<HRESULT> registerResult;  // DllRegisterServer's result
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
  std::optional<std::wstring> programPath = L"C:\\patch\\QZVRN.exe";
  std::optional<std::wstring> GetModuleFileNameW() override { return programPath; }

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
  struct Dialog {
    unsigned templateId;
    Handle owner;
    std::wstring caption;                  // SetWindowTextW
    std::map<int, std::wstring> controls;  // SetDlgItemTextW
  };
  static constexpr Handle kDesktop = 0x10010;
  static constexpr Handle kDialog = 0x10020;
  std::vector<Box> boxes;
  std::vector<Dialog> dialogs;
  // What the user does in a dialog after its initialisation: a command
  // from this control, or WM_CLOSE when it is nullopt.
  std::optional<int> pressControl = 1001;
  bool dialogFails = false;  // DialogBoxParamW cannot create the dialog

  Handle GetDesktopWindow() override { return kDesktop; }
  int MessageBoxW(Handle owner, const std::wstring& text, const std::wstring& caption,
                  unsigned style) override {
    boxes.push_back({owner, text, caption, style});
    return 1;  // IDOK
  }
  std::intptr_t DialogBoxParamW(unsigned templateId, Handle owner,
                                port::DialogProcedure& procedure) override;
  bool SetDlgItemTextW(Handle dialog, int controlId, const std::wstring& text) override;
  bool SetWindowTextW(Handle window, const std::wstring& text) override;
  bool EndDialog(Handle dialog, std::intptr_t result) override;

 private:
  std::optional<std::intptr_t> ended_;
};

// The Setup API installer over FakeFiles: copies the file, or acts out
// what Windows does with a destination in use or a failing copy.
class FakeInstaller : public port::Installer {
 public:
  enum class Outcome {
    kCopy,       // copied (or queued, when forced and the target is locked)
    kInUse,      // target in use: FILEOPDELAYED in the normal form
    kCopyError,  // COPYERROR notification in the normal form
    kDeclined,   // false with no error (an installed file that is newer)
    kFails,      // false with `error`
    kThrows,     // an exception from below
  };
  struct Call {
    std::wstring sourceFile, sourcePathRoot, destinationName;
    DWORD copyStyle;
    bool withCallback;
    bool result;
  };
  explicit FakeInstaller(FakeFiles& files) : files_(files) {}
  // By folded destination path; kCopy when absent.
  std::map<std::wstring, Outcome> outcomes;
  DWORD error = 5;
  std::vector<Call> calls;
  std::vector<std::wstring> queuedForRestart;  // PendingFileRenameOperations
  void Set(const std::wstring& destination, Outcome outcome) {
    outcomes[Fold(destination)] = outcome;
  }

  bool SetupInstallFileExW(const std::wstring& sourceFile, const std::wstring& sourcePathRoot,
                           const std::wstring& destinationName, DWORD copyStyle,
                           port::FileCallback callback, void* context, bool& fileWasInUse,
                           DWORD& lastError) override;

 private:
  FakeFiles& files_;
};

class FakeShell : public port::Shell {
 public:
  struct Execution {
    std::wstring verb, file, parameters, directory;
    int showCommand;
  };
  std::vector<Execution> executions;
  std::uintptr_t result = 42;
  std::uintptr_t ShellExecuteW(Handle, const std::wstring& verb, const std::wstring& file,
                               const std::wstring& parameters, const std::wstring& directory,
                               int showCommand) override {
    executions.push_back({verb, file, parameters, directory, showCommand});
    return result;
  }
};

// Stands in for the token and ExitWindowsEx: records the restart asked for.
class FakeShutdown : public port::Shutdown {
 public:
  bool tokenOpens = true;
  bool privilegeHeld = true;  // else AdjustTokenPrivileges leaves 1300
  bool adjustFails = false;
  bool exitWindowsRefused = false;
  DWORD tokenAccess = 0;
  std::wstring privilege;
  DWORD adjustedAttributes = 0;
  std::vector<std::pair<unsigned, DWORD>> restarts;  // flags, reason
  std::size_t OpenTokens() const { return open_; }

  bool OpenProcessToken(DWORD access, Handle& token) override;
  bool CloseHandle(Handle token) override;
  bool LookupPrivilegeValueW(const std::wstring& name, port::Luid& luid) override;
  bool AdjustTokenPrivileges(Handle token, port::Luid luid, DWORD attributes,
                             DWORD& lastError) override;
  bool ExitWindowsEx(unsigned flags, DWORD reason) override;

 private:
  std::size_t open_ = 0;
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
  std::unique_ptr<port::XmlDocument> CreateDocument() override { throw port::ComError(error); }
};

// The deployment wrapper's calls: mutexes other processes hold, images
// that are running, file times by folded path, and what it printed.
class FakeDeployment : public port::Deployment {
 public:
  std::set<std::wstring> heldMutexes;
  std::vector<std::wstring> mutexes;
  std::set<std::wstring> runningImages;  // folded
  // Starts go on to these processes; what they were given is kept.
  FakeProcesses* processes = nullptr;
  std::optional<std::wstring> currentDirectory;
  std::vector<std::pair<std::wstring, std::wstring>> variables;
  std::map<std::wstring, std::uint64_t> writeTimes;  // folded
  std::uint64_t now = 134000000000000000ull;
  port::LocalTime localTime{2026, 12, 9, 10, 15, 0};
  std::wstring computer = L"WS0042";
  std::string output;
  std::size_t OpenHandles() const { return open_.size(); }

  Handle CreateMutexW(const std::wstring& name, bool& alreadyExists) override;
  bool CloseHandle(Handle object) override;
  port::Status CreateFileW(const std::wstring& path, DWORD desiredAccess, DWORD shareMode) override;
  bool CreateProcessW(const std::wstring& applicationName, const std::wstring& commandLine,
                      const std::wstring& currentDirectory,
                      const std::vector<std::pair<std::wstring, std::wstring>>& variables,
                      port::ProcessInformation& info, DWORD& lastError) override;
  std::optional<std::uint64_t> GetFileLastWriteTime(const std::wstring& path) override;
  std::uint64_t GetSystemTimeAsFileTime() override { return now; }
  port::LocalTime GetLocalTime() override { return localTime; }
  std::wstring GetComputerNameW() override { return computer; }
  bool WriteStdOutput(const std::string& bytes) override;

 private:
  std::set<Handle> open_;
  Handle next_ = 0x500;
};

// Named mutexes: those another process holds, and those made here.
class FakeSynchronization : public port::Synchronization {
 public:
  std::set<std::wstring> heldElsewhere;
  std::vector<std::wstring> created;
  bool fails = false;  // no mutex can be had at all
  std::size_t OpenHandles() const { return open_.size(); }

  Handle CreateMutexW(const std::wstring& name, bool& alreadyExists) override;
  bool CloseHandle(Handle object) override { return open_.erase(object) != 0; }

 private:
  std::map<Handle, std::wstring> open_;
  Handle next_ = 0x600;
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
  FakeInstaller installer{files};
  FakeShell shell;
  FakeShutdown shutdown;
  FakeSynchronization sync;
  std::unique_ptr<port::XmlDom> xmlOverride;
  port::Platform os;

  FakeMachine();
  // `makeXml` builds the DOM the core will use, typically over `files`.
  explicit FakeMachine(const std::function<std::unique_ptr<port::XmlDom>(FakeFiles&)>& makeXml);
  // The log as bytes, and split into lines without their CRLF.
  std::string LogBytes() const;
  std::vector<std::string> LogLines() const;
};

// UTF-8/ASCII test text to a wide string and back (Latin-1 for bytes).
std::wstring W(const std::string& text);
std::string Narrow(const std::wstring& text);

}  // namespace qz::fake
