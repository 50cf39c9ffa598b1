// What others read of the patch manager: the files it uses and leaves, and
// the log entries from which the deployment wrapper judges a run. The
// manager writes them from here and the wrapper and the checker read them
// from here; tests/unit/log_contract_test.cpp runs the one into the other.
#pragma once

namespace qz::contract {

// Files in the patch folder, and the log in the temporary folder.
inline constexpr wchar_t kManagerProgram[] = L"QZVRN.exe";
inline constexpr wchar_t kConfigFile[] = L"QZVRN.config";
inline constexpr wchar_t kConditionsFile[] = L"QZVRN_Conditions.config";
inline constexpr wchar_t kLogFile[] = L"QZZqzvrn.log";
// The return-code file (kReturnCodeFileName, common/return_code.h) holds
// this while a restart is pending.
inline constexpr int kReturnCodeRestartPending = 2;

// A log line is "<source>  <text>  <status>".
inline constexpr wchar_t kLogSeparator[] = L"  ";
inline constexpr wchar_t kStarted[] = L"Started";
inline constexpr wchar_t kEnded[] = L"Ended";

// The run's frame: "QZVRN  Main  Started" first, "QZVRN  Main  Ended" at a
// normal end, and one entry of the source "QZVRN:Main" for the step that
// ended it.
inline constexpr wchar_t kEntryClass[] = L"QZVRN";
inline constexpr wchar_t kEntryMethod[] = L"Main";
inline constexpr wchar_t kMainSource[] = L"QZVRN:Main";
inline constexpr wchar_t kManagerClass[] = L"CVRNManager";

// The steps that end a run with "this update does not apply here".
inline constexpr wchar_t kStepOsNotSupported[] = L"OS Not Supported:";
inline constexpr wchar_t kStepCheckOs[] = L"CheckOS:";
inline constexpr wchar_t kStepLocateInstallPath[] = L"LocateAndVerifyInstallPath:";

// The main rule's "not needed" in web-site mode, and the success entry.
inline constexpr wchar_t kUpdateNotRequired[] = L"Update not required:";
inline constexpr wchar_t kRuleReturnedFalse[] = L"Java script returned false";
inline constexpr wchar_t kUpdateCompleted[] = L"DoUpdate:Update completed successfully.";
inline constexpr wchar_t kSuccess[] = L"Success";
inline constexpr wchar_t kFailed[] = L"Failed";

// The update, and the restart after it.
inline constexpr wchar_t kDoUpdate[] = L"DoUpdate";
inline constexpr wchar_t kShutDown[] = L"ShutDown";
inline constexpr wchar_t kSystemShutdownSource[] = L"CVRNManager::SystemShutdown";
inline constexpr wchar_t kInfo[] = L"Info";
inline constexpr wchar_t kForceReboot[] = L"Force Reboot";
inline constexpr wchar_t kRestartNow[] = L"Restart Now";
inline constexpr wchar_t kRestartLater[] = L"Restart Later";

}  // namespace qz::contract
