// qzvrn-check on a build machine: the manager's readers run over the
// in-memory machine, which reads the patch's XML from the folder, and
// there is no script host for the syntax check.
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "checker/native_check.h"
#include "common/manager_contract.h"
#include "checker/patch_check.h"
#include "checker/rules.h"
#include "platform/fake/fake_platform.h"
#include "platform/fake/xml_dom_pugixml.h"

namespace qz::check {

int NativeCheck(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                ScriptHost* host) {
  namespace fs = std::filesystem;
  const Options options = ParseArguments(arguments);
  std::error_code ec;
  if (options.usageError.empty() && !fs::is_directory(fs::u8path(options.folder), ec)) {
    err << "qzvrn-check: " << options.folder << ": not a folder\n";
    return kUsageStatus;
  }
  if (!options.usageError.empty()) {
    err << "qzvrn-check: " << options.usageError << "\nusage: qzvrn-check [--json] FOLDER\n";
    return kUsageStatus;
  }
  PatchFolder folder(fs::u8path(options.folder));
  // The folder as the manager would name it on Windows.
  const std::wstring source = L"C:\\patch";
  const std::wstring prefix = FoldCase(source + L"\\");
  // What the DOM finds at a path: the files of the folder, nothing else.
  const auto fileAt = [&](const std::wstring& path) -> std::optional<std::string> {
    if (FoldCase(path.substr(0, prefix.size())) != prefix) return std::nullopt;
    return folder.Read(path.substr(prefix.size()));
  };
  qz::fake::FakeMachine machine(
      [&](qz::fake::FakeFiles&) { return qz::fake::MakePugixmlDom(fileAt); });
  machine.system.currentDirectory = source;
  machine.files.currentDirectory = source;
  if (const auto conditions = folder.Read(contract::kConditionsFile)) {
    machine.files.AddFile(source + L"\\QZVRN_Conditions.config", *conditions);
  }
  NoScriptHost none("there is no script host on this system");
  CheckEnvironment environment{
      machine.os,
      source,
      options.folder,
      '/',
      folder,
      host ? *host : none,
      [&](const std::wstring& name) { return machine.files.Contents(source + L"\\" + name); },
      fileAt};
  return Finish(CheckPatch(environment), options.json, out, err);
}

}  // namespace qz::check
