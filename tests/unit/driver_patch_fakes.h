// Fakes of the services only the driver patch uses, each as simple as its
// tests allow, and one fake machine that bundles them.
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

class FakePrinters : public port::Printers {
 public:
  std::optional<std::string> driverDirectory =
      std::string("C:\\WINDOWS\\system32\\spool\\drivers\\w32x86");
  port::Result<std::string> GetPrinterDriverDirectoryA(port::DWORD) override {
    if (!driverDirectory) return port::Result<std::string>::Failed(port::kErrorPathNotFound);
    return port::Result<std::string>::Ok(*driverDirectory);
  }
};

class FakeTopWindows : public port::TopWindows {
 public:
  struct Sent {
    port::WindowHandle window;
    unsigned message;
    std::uintptr_t wParam;
    std::vector<std::uint32_t> record;  // the five fields lParam points at
    unsigned flags, timeoutMs;
  };
  struct Posted {
    port::WindowHandle window;
    unsigned message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
  };
  std::map<port::WindowHandle, std::string> windows;  // class by window, in order
  std::vector<Sent> sent;
  std::vector<Posted> posted;
  std::function<void()> onEvent;

  port::Status EnumWindows(const std::function<bool(port::WindowHandle)>& visit) override {
    for (const auto& [window, cls] : windows) {
      if (!visit(window)) return port::Status::Failed(0);
    }
    return port::Status::Ok();
  }
  std::string GetClassNameA(port::WindowHandle window, std::size_t) override {
    return windows[window];
  }
  port::Status PostMessageA(port::WindowHandle window, unsigned message, std::uintptr_t wParam,
                            std::intptr_t lParam) override {
    posted.push_back({window, message, wParam, lParam});
    if (onEvent) onEvent();
    return port::Status::Ok();
  }
  port::Status SendMessageTimeoutA(port::WindowHandle window, unsigned message,
                                   std::uintptr_t wParam, const void* lParam, unsigned flags,
                                   unsigned timeoutMs) override {
    const auto* fields = static_cast<const std::uint32_t*>(lParam);
    sent.push_back({window, message, wParam, {fields, fields + 5}, flags, timeoutMs});
    if (onEvent) onEvent();
    return port::Status::Ok();
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
  FakeModules modules;
  FakeInstaller installer{files};
  FakeShell shell;
  FakeServices services;
  FakePrinters printers;
  FakeTopWindows windows;
  FakeDebugOutput debug;
  FakeShutdown shutdown;
  driverpatch::DriverPatchPlatform os{system, files,    resources, ui,      modules, installer,
                                      shell,  services, printers,  windows, debug,   shutdown};

  static constexpr char kServicePath[] = "C:\\Program Files\\QZ\\QZZipm12.exe";

  FakeDriverPatchMachine() {
    modules.programPath = L"C:\\patch\\TXLDriverPatch.exe";
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
