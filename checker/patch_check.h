// qzvrn-check: checks a patch folder the way the manager will read it.
#pragma once
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "checker/diagnostics.h"
#include "checker/patch_folder.h"
#include "checker/script_host.h"
#include "platform/platform.h"

namespace qz::check {

struct CheckEnvironment {
  // The readers and the DOM; its files must keep writes in memory.
  port::Platform& os;
  // The folder as the manager and the DOM name it ("C:\...").
  std::wstring sourceFolder;
  // The folder as the user gave it, for the diagnostics, and its
  // separator.
  std::string shownFolder;
  char separator = '/';
  PatchFolder& folder;
  ScriptHost& host;
  // What the readers wrote under a file name (the rule scripts).
  std::function<std::optional<std::string>(const std::wstring&)> written;
  // The bytes of the file at a path as the DOM is given it, absent when
  // there is none: what the readers load is vetted first.
  std::function<std::optional<std::string>(const std::wstring&)> fileAt;
};

struct CheckResult {
  Report report;
  std::vector<std::string> notes;  // said on the error stream only
};

CheckResult CheckPatch(CheckEnvironment& environment);

struct Options {
  bool json = false;
  std::string folder;
  std::string usageError;  // not empty: the arguments are wrong
};
Options ParseArguments(const std::vector<std::string>& arguments);
inline constexpr int kUsageStatus = 64;

// Prints the findings (text or JSON) and the notes; returns the exit status.
int Finish(const CheckResult& result, bool json, std::ostream& out, std::ostream& err);

}  // namespace qz::check
