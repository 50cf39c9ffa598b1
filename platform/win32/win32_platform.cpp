#include "platform/win32/win32_platform.h"

using namespace qz::win32;

Win32Platform::Win32Platform()
    : system_(MakeSystemInfo()),
      files_(MakeFiles()),
      registry_(MakeRegistry()),
      processes_(MakeProcesses()),
      modules_(MakeModules()),
      com_(MakeCom()),
      xml_(MakeMsxmlDom()),
      ui_(MakeUi()),
      resources_(MakeResources()),
      installer_(MakeInstaller()),
      shell_(MakeShell()),
      shutdown_(MakeShutdown()),
      sync_(MakeSynchronization()),
      platform_{*system_, *files_,     *registry_,  *processes_, *modules_,  *com_, *xml_,
                *ui_,     *resources_, *installer_, *shell_,     *shutdown_, *sync_} {}

Win32Platform::~Win32Platform() = default;
