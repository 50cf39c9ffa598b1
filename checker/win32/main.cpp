// QZVRNCheck.exe: the patch checker on Windows. The manager's readers run
// over the real system (MSXML, the real files), with every write they make
// kept in memory, so the patch folder and the log stay untouched.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "checker/patch_check.h"
#include "checker/sandbox_files.h"
#include "common/utf8.h"
#include "checker/win32/script_host_win32.h"
#include "common/library_search.h"
#include "platform/win32/win32_platform.h"

namespace {

// A file's bytes by its full path, as MSXML would open it.
std::optional<std::string> ReadFileAt(const std::wstring& path) {
  std::error_code ec;
  const std::filesystem::path file(path);
  if (!std::filesystem::is_regular_file(file, ec)) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  using namespace qz::check;
  using qz::FromUtf8;
  using qz::ToUtf8;
  // The folder it is started from may be a patch folder from elsewhere.
  qz::RestrictLibrarySearch(*qz::win32::MakeLibrarySearch());
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(ToUtf8(argv[i]));
  const Options options = ParseArguments(arguments);
  if (!options.usageError.empty()) {
    std::cerr << "qzvrn-check: " << options.usageError << "\nusage: QZVRNCheck [--json] FOLDER\n";
    return kUsageStatus;
  }
  const std::wstring given = FromUtf8(options.folder);
  std::vector<wchar_t> full(32768);
  const DWORD length =
      ::GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  const DWORD attributes = length ? ::GetFileAttributesW(full.data()) : INVALID_FILE_ATTRIBUTES;
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    std::cerr << "qzvrn-check: " << options.folder << ": not a folder\n";
    return kUsageStatus;
  }
  std::wstring source(full.data(), length);
  while (source.size() > 3 && (source.back() == L'\\' || source.back() == L'/')) source.pop_back();
  try {
    Win32Platform real;
    qz::port::Platform& base = real.Get();
    SandboxFiles files(base.files);
    qz::port::Platform os{base.system, files,         base.registry, base.processes, base.modules,
                          base.com,    base.xml,      base.ui,       base.resources, base.installer,
                          base.shell,  base.shutdown, base.sync};
    os.com.CoInitialize();
    // The manager takes its folder from the current directory.
    ::SetCurrentDirectoryW(source.c_str());
    PatchFolder folder{std::filesystem::path(source)};
    Win32ScriptHost host;
    CheckEnvironment environment{os,
                                 source,
                                 options.folder,
                                 '\\',
                                 folder,
                                 host,
                                 [&](const std::wstring& name) { return files.Written(name); },
                                 ReadFileAt};
    const CheckResult result = CheckPatch(environment);
    os.com.CoUninitialize();
    return Finish(result, options.json, std::cout, std::cerr);
  } catch (...) {
    std::cerr << "qzvrn-check: the check failed unexpectedly\n";
    return 3;
  }
}
