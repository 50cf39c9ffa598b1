// CVRNManager: the patch manager's one central object. It owns the log,
// the configuration read from the XML files and every flag that outlives a
// step; every step of the run is one of its methods, each in the file
// named after it.
#pragma once
#include <cstdint>
#include <list>
#include <string>
#include <unordered_set>
#include <vector>

#include "manager/errors.h"
#include "manager/walk.h"
#include "manager/records.h"
#include "common/text_file.h"
#include "platform/platform.h"

namespace qz {

class CVRNManager {
 public:
  // Reads the current directory and opens the log (replacing the previous
  // one). Throws errManagerSetup when the set-up fails; a log that cannot
  // be opened is not a failure (entries are then dropped).
  explicit CVRNManager(port::Platform& os);
  // Writes its own Started entry as the log's last line and closes the log.
  ~CVRNManager();
  CVRNManager(const CVRNManager&) = delete;
  CVRNManager& operator=(const CVRNManager&) = delete;

  port::Platform& Os() { return os_; }

  // os_check.cpp
  bool IsSupportedOS();
  bool CheckOS();
  std::int32_t QZIsWow64Process();
  bool QZIsVistaOS();

  // config_reader.cpp, conditions_reader.cpp, rule_scripts.cpp
  bool ReadConfiguration();
  bool ReadConditions();
  bool ReadJSFromXml();
  // The rule script writer: "TestCode_" + name + ".js" in the current
  // directory with the current header and footer. False when the script
  // could not be written whole; reports nothing.
  bool WriteRuleScript(const std::wstring& name, const std::wstring& body);

  // script_runner.cpp
  int CallJScript(std::wstring scriptName);
  bool RunProcess(std::wstring applicationPath, std::wstring commandLine,
                  port::DWORD creationFlags);

  // control_check.cpp
  void CheckControl();
  bool RegisterDll(const std::wstring& path);

  // install_path.cpp
  bool LocateAndVerifyInstallPath();
  bool ReturnRegistryPath(const std::wstring& subKey, const std::wstring& valueName,
                          std::wstring relativePath, std::wstring& path);
  bool VerifySourceFilesPath();
  // The install path LocateAndVerifyInstallPath would give the entry, found
  // the same way but without a log entry; empty when there is none.
  std::wstring FindInstallPath(const UpdateEntry& entry);

  // recovery.cpp: undoes the walk of a run that was stopped part-way, from
  // the record it left in its backup folder. False when a file could not
  // be put back (the folder and its record then stay).
  bool RecoverInterruptedRun();

  // backup.cpp
  void Backup();
  // install_patch.cpp (with the Setup API handler InstallCallback)
  bool InstallPatch(const std::wstring& fileName, const std::wstring& sourceFolder,
                    const std::wstring& destinationFolder);
  // com_registration.cpp
  bool RegisterCOMDLLS();

  // update.cpp
  bool DoUpdate();
  bool RunPlugin(const std::wstring& progId, const std::vector<std::wstring>& parameters,
                 std::int32_t comRegRequired, std::int32_t asmRegRequired);

  // restart.cpp
  int SystemShutdown();
  int ShutDown();

  // cleanup.cpp
  int Cleanup(std::wstring folder, int topLevel);
  // The file remover: clears a read-only attribute, then deletes.
  bool RemoveFile(const std::wstring& path);
  // The pattern remover: the file remover on every match of the pattern.
  void RemoveMatchingFiles(const std::wstring& folder, const std::wstring& pattern);

  // log.cpp
  void WriteLog(const std::wstring& source, const std::wstring& text, const std::wstring& status);
  void LogStarted(const std::wstring& className, const std::wstring& method);
  void LogEnded(const std::wstring& className, const std::wstring& method);
  int WriteReturnCode(int value);
  // One entry for the outcome of a system call: `okStatus` on success, or
  // the system's error code before the text, and "Failed".
  void WriteResult(const std::wstring& source, const std::wstring& text, port::Status status,
                   const std::wstring& okStatus = L"Succeeded");

  // messages.cpp
  port::Result<int> ShowMessage(port::WindowHandle owner, const std::wstring& text,
                                const std::wstring& caption, unsigned style);

  // Fields, in declaration order.
  std::int32_t m_rebootFlag = 0;
  std::wstring m_ruleFileName;
  EightBitTextFile m_log;
  EightBitTextFile m_returnCodeFile;
  std::int32_t m_launchMode = 2;
  std::int32_t m_silentMode = 0;
  std::int32_t m_showFinalSuccessMsg = 1;
  std::int32_t m_runFinalRule = 0;
  std::int32_t m_ruleFinalSuccessMsg = 1;
  std::int32_t m_ruleFinalFailedMsg = 0;
  std::int32_t m_cleanupRecursive = 0;
  std::int32_t m_installFailed = 0;
  std::list<std::wstring> m_osList;
  std::wstring m_scriptHeader;
  std::wstring m_scriptFooter;
  std::vector<UpdateEntry> m_updateEntries;
  std::wstring m_sourceFolder;
  std::wstring m_backupFolder;
  // GetLastError of the last InstallPatch call that failed (0: the Setup
  // API declined the copy without an error).
  port::DWORD m_installError = 0;
  // Set once a file was queued for the restart: the restart is then
  // pending whatever the run's end.
  std::int32_t m_restartQueued = 0;
  // The conditions the conditions file defines whose script could not be
  // prepared (FileNameKey of the ID): their entries are not applied.
  std::unordered_set<std::wstring> m_unpreparedConditions;
  // The walk's changes and their record in m_backupFolder, from Backup to
  // Cleanup.
  WalkChanges m_walk;

 private:
  port::Platform& os_;
};

// The process-wide manager: set by the entry right after construction, for
// callers of the two-argument LoadMessage.
extern CVRNManager* g_pManager;

// Launch modes kept in m_launchMode.
inline constexpr std::int32_t kWebSiteMode = 0;
inline constexpr std::int32_t kUpdateToolMode = 1;
inline constexpr std::int32_t kLaunchModeNotSet = 2;

}  // namespace qz
