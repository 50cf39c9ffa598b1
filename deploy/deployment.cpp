// The run: lock the patch folder, copy it where only administrators
// write, start "QZVRN.exe QZSU" in the copy with a temporary folder of its
// own and wait, judge what it left there, keep its log and one JSON line
// where the console collects them. The folder it was started from is only
// read: a management tool's cache works for every rerun.
#include "deploy/deployment.h"
#include "common/manager_contract.h"
#include "common/return_code.h"

#include <cwctype>

#include "deploy/private_copy.h"
#include "deploy/report.h"
#include "deploy/run_verdict.h"
#include "common/program_files.h"
#include "common/utf8.h"

namespace qz::deploy {

namespace {

constexpr const wchar_t* kManager = contract::kManagerProgram;
constexpr const wchar_t* kLogName = contract::kLogFile;
constexpr const wchar_t* kReturnCodeName = kReturnCodeFileName;
// FAT keeps write times to two seconds: a file written by the run may
// look that much older than its start.
constexpr std::uint64_t kTimeSlack = 2 * 10000000ull;
constexpr std::size_t kMostLogBytes = 64u << 20;
constexpr int kRemoveAttempts = 20;
constexpr port::DWORD kRemovePause = 250;

bool SameSwitch(const std::wstring& argument, const wchar_t* name) {
  if (argument.size() < 2 || (argument[0] != L'/' && argument[0] != L'-')) return false;
  std::wstring rest;
  for (std::size_t i = 1; i < argument.size(); ++i) rest += std::towlower(argument[i]);
  return rest == name;
}

// The mutex name may not hold a backslash after its namespace: the folder
// goes in as a hash of its path in upper case.
std::wstring LockName(const std::wstring& folder) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const wchar_t c : folder) {
    hash ^= static_cast<std::uint16_t>(std::towupper(c));
    hash *= 1099511628211ull;
  }
  static const wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring name = L"Global\\QZVRNDeploy.";
  for (int shift = 60; shift >= 0; shift -= 4) name += kDigits[(hash >> shift) & 0xF];
  return name;
}

std::optional<std::string> ReadWholeFile(port::Files& files, const std::wstring& path) {
  const port::UniqueFile file(
      files, files.CreateFileW(path, port::kGenericRead, port::kOpenExisting).value);
  if (!file.Valid()) return std::nullopt;
  std::string bytes;
  char chunk[8192];
  for (;;) {
    const port::Result<std::size_t> got = files.ReadFile(file.Get(), chunk, sizeof chunk);
    if (!got) return std::nullopt;
    if (got.value == 0 || bytes.size() >= kMostLogBytes) break;
    bytes.append(chunk, got.value);
  }
  return bytes;
}

bool WriteNewFile(port::Files& files, const std::wstring& path, const std::string& bytes,
                  port::DWORD disposition) {
  port::UniqueFile file(files, files.CreateFileW(path, port::kGenericWrite, disposition).value);
  if (!file.Valid()) return false;
  const bool written = static_cast<bool>(files.WriteFile(file.Get(), bytes.data(), bytes.size()));
  return file.Close() && written;
}

// A name that anyone may have planted first (a link, a file held open) is
// removed, then made new: never written through.
bool WriteFreshFile(port::Files& files, const std::wstring& path, const std::string& bytes) {
  files.DeleteFileW(path);
  return WriteNewFile(files, path, bytes, port::kCreateNew);
}

// The folder and every missing parent; a UNC share's root must exist.
bool CreateFolders(port::Files& files, const std::wstring& folder) {
  if (folder.size() > 3 && folder.back() == L'\\') {
    return CreateFolders(files, folder.substr(0, folder.size() - 1));
  }
  const port::Result<port::DWORD> attributes = files.GetFileAttributesW(folder);
  if (attributes) return (attributes.value & port::kFileAttributeDirectory) != 0;
  const std::size_t cut = folder.find_last_of(L"\\/");
  if (cut != std::wstring::npos && cut > 0 && folder[cut - 1] != L'\\' && folder[cut - 1] != L':') {
    if (!CreateFolders(files, folder.substr(0, cut))) return false;
  }
  return static_cast<bool>(files.CreateDirectoryW(folder));
}

class Run {
 public:
  Run(port::Platform& os, port::Deployment& d) : os_(os), d_(d) {
    startTicks_ = os_.system.GetTickCount();
    startTime_ = d_.GetSystemTimeAsFileTime();
    report_.started = d_.GetLocalTime();
    report_.computer = d_.GetComputerNameW();
  }

  int Go(const std::vector<std::wstring>& arguments) {
    const Options options = ParseArguments(arguments);
    if (!options.usageError.empty()) {
      report_.verdict =
          Failure("usage: QZVRNDeploy.exe [/log FOLDER]: " + options.usageError, "command line");
    } else {
      report_.verdict = Deploy();
    }
    report_.durationSeconds = (os_.system.GetTickCount() - startTicks_) / 1000.0;
    Report(options.logFolder);
    return ExitCodeOf(report_.verdict);
  }

 private:
  static Verdict Failure(std::string detail, std::string step = {}) {
    Verdict v;
    v.detail = std::move(detail);
    v.failedStep = std::move(step);
    return v;
  }
  static Verdict Busy(std::string detail) {
    Verdict v;
    v.outcome = Outcome::kBusy;
    v.detail = std::move(detail);
    return v;
  }

  Verdict Deploy() {
    const port::Result<std::wstring> self = os_.modules.GetModuleFileNameW();
    const std::size_t cut = self ? self.value.rfind(L'\\') : std::wstring::npos;
    if (cut == std::wstring::npos) return Failure("the program's own folder is unknown");
    folder_ = self.value.substr(0, cut);

    const port::Result<port::NamedMutex> lock = os_.sync.CreateMutexW(LockName(folder_));
    lock_.Put() = lock.value.handle;
    if (lock.value.alreadyExists) return Busy("another QZVRNDeploy.exe runs this patch folder");
    const std::wstring manager = folder_ + L"\\" + kManager;
    if (!os_.files.GetFileAttributesW(manager)) {
      return Failure("QZVRN.exe is not beside QZVRNDeploy.exe");
    }
    // A running program's image cannot be opened for writing: the update
    // tool or a user runs this folder's manager right now.
    if (ImageInUse(manager)) return Busy("QZVRN.exe of this patch folder is running");

    const std::optional<std::wstring> parent = PrivateParent();
    if (!parent) return Failure("the private folder cannot be made: Program Files is not known");
    PrivateCopy copy(os_.files, folder_, *parent);
    if (!copy.Name()) return Failure("the private folder cannot be made: " + copy.Why());
    if (copy.HoldsRecord()) {
      // An interrupted run: its manager puts the machine back there, so the
      // copy is run again as it stands.
      if (ImageInUse(copy.Folder() + L"\\" + kManager)) {
        return Busy("QZVRN.exe of the private copy is running");
      }
    } else if (!copy.Make()) {
      return Failure("the private folder cannot be made: " + copy.Why());
    }
    Verdict verdict = copy.MakeTempFolder()
                          ? RunManager(copy)
                          : Failure("the private folder cannot be made: " + copy.Why());
    if (!Retried([&] { return copy.RemoveTempFolder(); })) {
      verdict.detail += " (the private temporary folder could not be removed)";
    }
    if (copy.HoldsRecord()) {
      verdict.detail += " (an unfinished record stays in " + ToUtf8(copy.Folder()) + ")";
    } else if (!Retried([&] { return copy.Remove(); })) {
      verdict.detail += " (the private copy could not be removed)";
    }
    return verdict;
  }

  Verdict RunManager(const PrivateCopy& copy) {
    const std::wstring manager = copy.Folder() + L"\\" + kManager;
    const std::wstring temp = copy.TempFolder();
    // The build that runs: the copy's, whose bytes this run wrote itself.
    if (const auto version = d_.GetFileVersionInfoW(manager)) {
      report_.managerVersion = VersionText(version.value);
    }
    // The manager takes its folder from the current directory, its log's
    // folder from TMP.
    const port::Result<port::ProcessInformation> started = d_.CreateProcessW(
        manager, L"\"" + manager + L"\" QZSU", copy.Folder(), {{L"TMP", temp}, {L"TEMP", temp}});
    if (!started) {
      return Failure("QZVRN.exe could not be started (error " +
                     std::to_string(started.status.error) + ")");
    }
    const port::ProcessInformation& child = started.value;
    port::UniqueProcessHandle process(os_.processes, child.process);
    port::UniqueProcessHandle thread(os_.processes, child.thread);
    if (os_.processes.WaitForSingleObject(child.process, port::kInfinite) != port::kWaitObject0) {
      return Failure("QZVRN.exe could not be waited for");
    }
    const port::Result<port::DWORD> ended = os_.processes.GetExitCodeProcess(child.process);
    if (!ended) return Failure("QZVRN.exe could not be waited for");
    const port::DWORD exitCode = ended.value;
    report_.managerExitCode = static_cast<std::int32_t>(exitCode);

    RunTraces traces;
    traces.managerExitCode = exitCode;
    const std::wstring logPath = temp + L"\\" + kLogName;
    log_ = ReadWholeFile(os_.files, logPath);
    traces.log = log_;
    traces.logWrittenByThisRun = WrittenByThisRun(logPath);
    const std::wstring returnCode = copy.Folder() + L"\\" + kReturnCodeName;
    if (WrittenByThisRun(returnCode)) traces.returnCode = ReadWholeFile(os_.files, returnCode);
    return JudgeRun(traces);
  }

  // A program the manager started and did not wait for (regsvr32, say)
  // may still hold the copy as its current directory for a moment.
  template <typename Step>
  bool Retried(const Step& step) {
    for (int attempt = 1;; ++attempt) {
      if (step()) return true;
      if (attempt == kRemoveAttempts) return false;
      os_.system.Sleep(kRemovePause);
    }
  }

  bool ImageInUse(const std::wstring& image) {
    return d_.CreateFileW(image, port::kGenericWrite, port::kFileShareAll).error ==
           port::kErrorSharingViolation;
  }

  // The folder under Program Files that the scripting control uses: only
  // administrators and the system account can create anything there.
  std::optional<std::wstring> PrivateParent() {
    std::optional<std::wstring> programFiles;
    {
      const port::Result<port::KeyHandle> opened =
          os_.registry.RegOpenKeyExW(kWindowsVersionKey, port::kKeyRead);
      const port::UniqueKey version(os_.registry, opened.value);
      if (!opened) return std::nullopt;
      programFiles = ReadProgramFilesDir(os_.registry, version.Get());
    }
    if (!programFiles) return std::nullopt;
    const std::vector<std::wstring> levels = ControlFolderLevels(*programFiles);
    for (const std::wstring& level : levels) os_.files.CreateDirectoryW(level);
    const port::Result<port::DWORD> attributes = os_.files.GetFileAttributesW(levels.back());
    if (!attributes || !(attributes.value & port::kFileAttributeDirectory)) {
      return std::nullopt;
    }
    return levels.back();
  }

  bool WrittenByThisRun(const std::wstring& path) {
    const port::Result<std::uint64_t> written = d_.GetFileLastWriteTime(path);
    return written && written.value + kTimeSlack >= startTime_;
  }

  // The log copy and the JSON share one new name in the log folder; the
  // JSON goes beside the program when there is no such folder to write to.
  void Report(const std::optional<std::wstring>& logFolder) {
    // The copy holds the bytes that were judged; a run that never started
    // has no log.
    const std::optional<std::string>& log = log_;
    if (logFolder && CreateFolders(os_.files, *logFolder)) {
      const std::wstring base = *logFolder + (logFolder->back() == L'\\' ? L"" : L"\\");
      for (int attempt = 1; attempt <= 100; ++attempt) {
        const std::wstring stem = base + ReportStem(report_.computer, report_.started, attempt);
        if (os_.files.GetFileAttributesW(stem + L".log")) continue;
        // Claimed by creating the JSON file: two runs never share a name.
        port::UniqueFile claim(
            os_.files,
            os_.files.CreateFileW(stem + L".json", port::kGenericWrite, port::kCreateNew).value);
        if (!claim.Valid()) {
          if (os_.files.GetFileAttributesW(stem + L".json")) continue;
          break;
        }
        claim.Reset();
        if (log && WriteNewFile(os_.files, stem + L".log", *log, port::kCreateNew)) {
          report_.logCopy = stem + L".log";
        }
        if (WriteNewFile(os_.files, stem + L".json", JsonLine(report_) + "\r\n",
                         port::kCreateAlways)) {
          Print();
          return;
        }
        break;
      }
      report_.logCopy.reset();
    }
    if (logFolder) report_.verdict.detail += " (the log folder could not be written)";
    if (!folder_.empty()) {
      const std::wstring logCopy = folder_ + L"\\" + kLogBesideItself;
      if (log && WriteFreshFile(os_.files, logCopy, *log)) report_.logCopy = logCopy;
      WriteFreshFile(os_.files, folder_ + L"\\" + kJsonBesideItself, JsonLine(report_) + "\r\n");
    }
    Print();
  }

  void Print() { d_.WriteStdOutput(JsonLine(report_) + "\r\n"); }

  port::Platform& os_;
  port::Deployment& d_;
  RunReport report_;
  port::DWORD startTicks_ = 0;
  std::uint64_t startTime_ = 0;
  port::UniqueMutex lock_{os_.sync};
  std::wstring folder_;
  std::optional<std::string> log_;
};

}  // namespace

Options ParseArguments(const std::vector<std::wstring>& arguments) {
  Options options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (SameSwitch(arguments[i], L"log") && i + 1 < arguments.size() && !options.logFolder &&
        !arguments[i + 1].empty()) {
      options.logFolder = arguments[++i];
      // "C:\Logs\" on a command line reaches us as C:\Logs" (the backslash
      // escapes the quote); no Windows name holds a quote.
      if (options.logFolder->back() == L'"') options.logFolder->back() = L'\\';
    } else {
      options.usageError = "unexpected argument \"" + ToUtf8(arguments[i]) + "\"";
      break;
    }
  }
  return options;
}

int RunDeployment(port::Platform& os, port::Deployment& deployment,
                  const std::vector<std::wstring>& arguments) {
  return Run(os, deployment).Go(arguments);
}

}  // namespace qz::deploy
