// Fakes of the narrow services only the driver patch uses, each as simple
// as its tests allow, and one fake machine that bundles them.
#pragma once
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "driverpatch/driver_patch.h"
#include "platform/fake/fake_platform.h"
#include "platform/fake/services.h"

namespace qz::fake {

// Narrow files over FakeFiles: paths are Latin-1, copies and installs are
// recorded, a locked destination refuses a copy.
class FakeAnsiFiles : public port::AnsiFiles {
 public:
  explicit FakeAnsiFiles(FakeFiles& files) : files_(files) {}
  std::string moduleFileName = "C:\\patch\\TXLDriverPatch.exe";
  std::optional<std::string> systemDirectory = std::string("C:\\WINDOWS\\system32");
  std::set<unsigned char> leadBytes;  // a DBCS code page's lead bytes
  struct Install {
    std::string file, root, destination;
    port::DWORD style;
  };
  std::vector<Install> installs;
  std::vector<std::pair<std::string, std::string>> copies;

  std::string GetModuleFileNameA() override { return moduleFileName; }
  bool IsDBCSLeadByte(unsigned char byte) override { return leadBytes.count(byte) != 0; }
  std::optional<std::string> GetSystemDirectoryA(std::size_t) override { return systemDirectory; }
  port::DWORD GetFileAttributesA(const std::string& path) override {
    const auto* entry = files_.Find(W(path));
    if (entry == nullptr) return port::kInvalidFileAttributes;
    return entry->directory ? port::kFileAttributeDirectory : 0x80;  // NORMAL
  }
  bool CopyFileA(const std::string& from, const std::string& to, bool failIfExists) override {
    copies.emplace_back(from, to);
    return static_cast<bool>(files_.CopyFileW(W(from), W(to), failIfExists));
  }
  bool SetupInstallFileExA(const std::string& file, const std::string& root,
                           const std::string& destination, port::DWORD style,
                           bool& inUse) override {
    installs.push_back({file, root, destination, style});
    inUse = false;
    return true;
  }

 private:
  FakeFiles& files_;
};

class FakeAnsiShell : public port::AnsiShell {
 public:
  struct Launch {
    std::string verb, file, parameters;
    int show;
  };
  std::vector<Launch> launches;
  std::function<void(const std::string& file)> onLaunch;
  // Loadable libraries by path, with their exports' answers.
  std::map<std::string, std::map<std::string, int>> libraries;
  std::vector<std::string> loaded;

  std::intptr_t ShellExecuteA(const std::string& verb, const std::string& file,
                              const std::string& parameters, int show) override {
    launches.push_back({verb, file, parameters, show});
    if (onLaunch) onLaunch(file);
    return 42;
  }
  port::Handle LoadLibraryA(const std::string& path) override {
    loaded.push_back(path);
    auto it = libraries.find(path);
    if (it == libraries.end()) return 0;
    return 0x700 + static_cast<port::Handle>(std::distance(libraries.begin(), it));
  }
  std::function<int()> GetProcAddress(port::Handle module, const std::string& name) override {
    auto it = libraries.begin();
    std::advance(it, static_cast<long>(module - 0x700));
    auto proc = it->second.find(name);
    if (proc == it->second.end()) return {};
    const int answer = proc->second;
    return [answer] { return answer; };
  }
};

class FakePrinters : public port::Printers {
 public:
  std::optional<std::string> driverDirectory =
      std::string("C:\\WINDOWS\\system32\\spool\\drivers\\w32x86");
  std::optional<std::string> GetPrinterDriverDirectoryA(port::DWORD) override {
    return driverDirectory;
  }
};

class FakeTopWindows : public port::TopWindows {
 public:
  struct Sent {
    port::Handle window;
    unsigned message;
    std::uintptr_t wParam;
    std::vector<std::uint32_t> record;  // the five fields lParam points at
    unsigned flags, timeoutMs;
  };
  struct Posted {
    port::Handle window;
    unsigned message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
  };
  std::map<port::Handle, std::string> windows;  // class by window, in order
  std::vector<Sent> sent;
  std::vector<Posted> posted;
  std::function<void()> onEvent;

  bool EnumWindows(const std::function<bool(port::Handle)>& visit) override {
    for (const auto& [window, cls] : windows) {
      if (!visit(window)) return false;
    }
    return true;
  }
  std::string GetClassNameA(port::Handle window, std::size_t) override { return windows[window]; }
  bool PostMessageA(port::Handle window, unsigned message, std::uintptr_t wParam,
                    std::intptr_t lParam) override {
    posted.push_back({window, message, wParam, lParam});
    if (onEvent) onEvent();
    return true;
  }
  bool SendMessageTimeoutA(port::Handle window, unsigned message, std::uintptr_t wParam,
                           const void* lParam, unsigned flags, unsigned timeoutMs) override {
    const auto* fields = static_cast<const std::uint32_t*>(lParam);
    sent.push_back({window, message, wParam, {fields, fields + 5}, flags, timeoutMs});
    if (onEvent) onEvent();
    return true;
  }
};

class FakeDebugOutput : public port::DebugOutput {
 public:
  std::vector<std::string> lines;
  void OutputDebugStringA(const std::string& text) override { lines.push_back(text); }
};

// One fake machine for the driver patch, with the patch folder
// C:\patch holding TXLDriverPatch.exe and the new QZZipm12.exe, and the
// service installed from C:\Program Files\QZ\QZZipm12.exe.
struct FakeDriverPatchMachine {
  FakeSystemInfo system;
  FakeFiles files;
  FakeResources resources;
  FakeUi ui;
  FakeAnsiFiles ansiFiles{files};
  FakeAnsiShell shell;
  FakeServices services;
  FakePrinters printers;
  FakeTopWindows windows;
  FakeDebugOutput debug;
  FakeShutdown shutdown;
  driverpatch::DriverPatchPlatform os{system,   files,    resources, ui,    ansiFiles, shell,
                                      services, printers, windows,   debug, shutdown};

  static constexpr char kServicePath[] = "C:\\Program Files\\QZ\\QZZipm12.exe";

  FakeDriverPatchMachine() {
    files.AddFolder(L"C:\\patch");
    files.AddFile(L"C:\\patch\\QZZipm12.exe", "new");
    files.AddFolder(L"C:\\Program Files\\QZ");
    files.AddFile(W(kServicePath), "old");
    files.AddFolder(L"C:\\WINDOWS\\system32");
    files.AddFolder(L"C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3");
    ui.pressControl = 2;  // Restart Later
    services.services["TXL Driver QZZ12"] = {kServicePath, port::kServiceRunning, false, {}, false};
    for (unsigned id : {1u, 2u, 5u, 6u, 7u, 9u}) {
      resources.SetString(1024, id, L"en" + std::to_wstring(id));
    }
  }
};

}  // namespace qz::fake
