// The platform port: every OS service the portable core reaches, one small
// interface each. The Win32 adapters live in platform/win32, the in-memory
// fakes for the unit tests in platform/fake.
#pragma once
#include "platform/com.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/installer.h"
#include "platform/modules.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/resources.h"
#include "platform/shell.h"
#include "platform/shutdown.h"
#include "platform/synchronization.h"
#include "platform/system_info.h"
#include "platform/types.h"
#include "platform/ui.h"
#include "platform/xml_dom.h"

namespace qz::port {

struct Platform {
  SystemInfo& system;
  Files& files;
  Registry& registry;
  Processes& processes;
  Modules& modules;
  Com& com;
  XmlDom& xml;
  Ui& ui;
  Resources& resources;
  Installer& installer;
  Shell& shell;
  Shutdown& shutdown;
  Synchronization& sync;
};

}  // namespace qz::port
