// In-memory fakes of every port interface, for the native unit tests. Each
// is as simple as the tests allow: maps of paths, keys and scripted
// outcomes, and a record of what the core asked for.
#pragma once
#include <functional>
#include <memory>

#include "platform/fake/com.h"
#include "platform/fake/deployment.h"
#include "platform/fake/files.h"
#include "platform/fake/installer.h"
#include "platform/fake/library_search.h"
#include "platform/fake/modules.h"
#include "platform/fake/processes.h"
#include "platform/fake/registry.h"
#include "platform/fake/resources.h"
#include "platform/fake/shell.h"
#include "platform/fake/shutdown.h"
#include "platform/fake/synchronization.h"
#include "platform/fake/system_info.h"
#include "platform/fake/ui.h"
#include "platform/fake/xml_dom.h"
#include "platform/platform.h"

namespace qz::fake {

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

}  // namespace qz::fake
