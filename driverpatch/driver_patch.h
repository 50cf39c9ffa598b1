// The driver patch, TXLDriverPatch.exe: replaces the executable of the
// service "TXL Driver QZZ12" in its three places and brings the service
// back. Every step is a plain function over one DriverPatch run, each in
// the file named after it; paths and names are narrow (ANSI), messages
// wide.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "driverpatch/trace_log.h"
#include "platform/debug_output.h"
#include "platform/files.h"
#include "platform/installer.h"
#include "platform/modules.h"
#include "platform/printers.h"
#include "platform/resources.h"
#include "platform/services.h"
#include "platform/shell.h"
#include "platform/shutdown.h"
#include "platform/system_info.h"
#include "platform/top_windows.h"
#include "platform/ui.h"

namespace qz::driverpatch {

// The OS services the driver patch reaches.
struct DriverPatchPlatform {
  port::SystemInfo& system;
  port::Files& files;
  port::Resources& resources;
  port::Ui& ui;
  port::Modules& modules;
  port::Installer& installer;
  port::Shell& shell;
  port::Services& services;
  port::Printers& printers;
  port::TopWindows& windows;
  port::DebugOutput& debug;
  port::Shutdown& shutdown;
};

// The run state, set by the entry and read by every step.
struct RunState {
  TraceLog* trace = nullptr;  // null when it could not be made
  bool silent = false;
  port::WindowHandle dialogWindow;
};

// One run of the driver patch.
struct DriverPatch {
  explicit DriverPatch(DriverPatchPlatform& platform) : os(platform) {}
  DriverPatchPlatform& os;
  RunState state;
  std::optional<TraceLog> traceLog;
  // The manager handle StartServiceAndWait opens on its first use and
  // keeps until the process ends.
  port::ServiceHandle startManager;
};

// Thrown where the process must end at once; the entry returns the code.
struct EndProcess {
  int exitCode;
};

inline constexpr char kServiceName[] = "TXL Driver QZZ12";
inline constexpr char kExpectedFileName[] = "QZZIPM12.EXE";
inline constexpr char kDeviceWindowClass[] = "CQZAiODeviceIO";
inline constexpr char kMissingServicePath[] = "XXXX\\XXXX";

// A trace point: skipped when there is no trace object.
template <typename... Values>
void Trace(DriverPatch& run, const char* format, const Values&... values) {
  if (run.state.trace != nullptr) run.state.trace->Write(format, values...);
}

enum class Replacement { kDirect, kDeferred };

// entry.cpp: the whole run; returns the exit code. `commandLine` is the
// narrow text after the program's name.
int RunDriverPatch(DriverPatch& run, const std::string& commandLine);

// return_code.cpp: "QZVRN_Returncode.txt" beside the program. 1 when it ran
// to the end (also when the file could not be made), 0 on an exception.
int WriteReturnCode(DriverPatch& run, int value);

// narrow_text.cpp: the last backslash of a path, read character by
// character in the ANSI code page (npos when there is none), and the
// case-insensitive equality of two narrow texts.
std::size_t LastBackslash(DriverPatch& run, const std::string& path);
bool EqualsIgnoringCaseMbcs(DriverPatch& run, const std::string& a, const std::string& b);

// service_query.cpp. A missing service gives "XXXX\XXXX" and true.
bool QueryServiceBinaryPath(DriverPatch& run, const std::string& name, std::string& path);
// The text after the last backslash; the whole path when it has none.
int FileNameFromPath(DriverPatch& run, const std::string& path, std::string& name);

// stop_and_delete.cpp: true when the service was deleted. Throws
// EndProcess{-1} when the manager cannot be opened with full access.
bool StopAndDeleteService(DriverPatch& run, const std::string& name);

// start_and_wait.cpp: true when the service runs at the end.
bool StartServiceAndWait(DriverPatch& run, const std::string& name);

// reg_server.cpp: starts `path` with "/REGSERVER" and waits 200 ms; 1.
int RunRegServer(DriverPatch& run, const std::string& path);

// device_windows.cpp: mode 1 before the replacement, 2 after it.
port::Status NotifyDeviceWindows(DriverPatch& run, int mode);

// replace.cpp
Replacement ReplaceServiceExecutable(DriverPatch& run, const std::string& serviceName,
                                     const std::string& serviceBinaryPath,
                                     const std::string& sourceFile, const std::string& systemTarget,
                                     const std::string& sourceDirectory);

// messages.cpp
port::LANGID GetMessageLanguage(DriverPatch& run);
std::wstring MsgDisplayString(DriverPatch& run, port::LANGID language, unsigned id);
void DisplayMessage(DriverPatch& run, unsigned id);

// restart_dialog.cpp: the procedure of dialog 168 and its labelling.
std::intptr_t RestartDialog(DriverPatch& run, port::WindowHandle window, unsigned message,
                            std::uintptr_t wParam, std::intptr_t lParam);
void DisplayDialog(DriverPatch& run, port::LANGID language);

// restart_machine.cpp: asks Windows to restart; every failure ends it
// without a restart and without a word.
void RestartMachine(DriverPatch& run);

}  // namespace qz::driverpatch
