// The real Windows behind the port: one adapter per service, owned by
// Win32Platform and handed to the core as one qz::port::Platform. Only the
// adapters' .cpp files include <windows.h>; this header does not.
#pragma once
#include <memory>

#include "platform/deployment.h"
#include "platform/library_search.h"
#include "platform/platform.h"

// The MSXML DOM adapter, defined in xml_dom_msxml.cpp.
std::unique_ptr<qz::port::XmlDom> MakeMsxmlDom();

namespace qz::win32 {

// Factories of the adapters, one per service file (<service>_win32.cpp).
std::unique_ptr<port::SystemInfo> MakeSystemInfo();
std::unique_ptr<port::Files> MakeFiles();
std::unique_ptr<port::Registry> MakeRegistry();
std::unique_ptr<port::Processes> MakeProcesses();
std::unique_ptr<port::Modules> MakeModules();
std::unique_ptr<port::Com> MakeCom();
std::unique_ptr<port::Ui> MakeUi();
// String resources of the running program's own module.
std::unique_ptr<port::Resources> MakeResources();
std::unique_ptr<port::Installer> MakeInstaller();
std::unique_ptr<port::Shell> MakeShell();
std::unique_ptr<port::Shutdown> MakeShutdown();
std::unique_ptr<port::Synchronization> MakeSynchronization();
// Made and used by WinMain before anything else; no part of the Platform.
std::unique_ptr<port::LibrarySearch> MakeLibrarySearch();
// The deployment wrapper's own calls; no part of the Platform either.
std::unique_ptr<port::Deployment> MakeDeployment();

}  // namespace qz::win32

// Builds every adapter; creating it touches no system state (COM is
// initialised only when the core asks for it).
class Win32Platform {
 public:
  Win32Platform();
  ~Win32Platform();
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  qz::port::Platform& Get() { return platform_; }

 private:
  std::unique_ptr<qz::port::SystemInfo> system_;
  std::unique_ptr<qz::port::Files> files_;
  std::unique_ptr<qz::port::Registry> registry_;
  std::unique_ptr<qz::port::Processes> processes_;
  std::unique_ptr<qz::port::Modules> modules_;
  std::unique_ptr<qz::port::Com> com_;
  std::unique_ptr<qz::port::XmlDom> xml_;
  std::unique_ptr<qz::port::Ui> ui_;
  std::unique_ptr<qz::port::Resources> resources_;
  std::unique_ptr<qz::port::Installer> installer_;
  std::unique_ptr<qz::port::Shell> shell_;
  std::unique_ptr<qz::port::Shutdown> shutdown_;
  std::unique_ptr<qz::port::Synchronization> sync_;
  qz::port::Platform platform_;
};
