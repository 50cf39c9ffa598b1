// The entry's rig, shared by its tests: a step script, and steps that
// follow it where the real ones cannot fail on a sound machine; a fake
// machine with messages 1, 3 and 5. Outside an unnamed namespace, so that
// every file's EntryTest is the one fixture.
#pragma once
#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "manager/entry.h"
#include "platform/fake/fake_platform.h"

namespace qz::rig {

// A step script: which step answers what, and what each call saw.
struct Script {
  bool supportedOs = true, conditions = true, configuration = true, rules = true, checkOs = true,
       installPath = true, sources = true, update = true;
  std::vector<int> ruleResults;  // CallJScript answers, in call order
  int rebootFlagAfterUpdate = 0;
  int restartQueuedByUpdate = 0;
  std::function<void()> throwIn;  // thrown from ReadConfiguration
  std::vector<std::string> calls;
  std::vector<std::string> cleanups;  // folder and marker of each Cleanup
  bool comOpenAtCleanup = false;
  std::size_t logLinesAtCleanup = 0;
};

class ScriptedSteps : public ManagerSteps {
 public:
  ScriptedSteps(CVRNManager& m, Script& s) : ManagerSteps(m), s_(s) {}
  bool IsSupportedOS() override { return Note("IsSupportedOS", s_.supportedOs); }
  bool ReadConditions() override { return Note("ReadConditions", s_.conditions); }
  bool ReadConfiguration() override {
    if (s_.throwIn) s_.throwIn();
    return Note("ReadConfiguration", s_.configuration);
  }
  bool ReadJSFromXml() override { return Note("ReadJSFromXml", s_.rules); }
  bool CheckOS() override { return Note("CheckOS", s_.checkOs); }
  bool LocateAndVerifyInstallPath() override { return Note("Locate", s_.installPath); }
  bool VerifySourceFilesPath() override { return Note("Verify", s_.sources); }
  bool DoUpdate() override {
    m_.m_rebootFlag = s_.rebootFlagAfterUpdate;
    m_.m_restartQueued = s_.restartQueuedByUpdate;
    return Note("DoUpdate", s_.update);
  }
  int CallJScript(const std::wstring& script) override {
    s_.calls.push_back("CallJScript " + fake::Narrow(script));
    if (s_.ruleResults.empty()) return 1;
    const int r = s_.ruleResults.front();
    s_.ruleResults.erase(s_.ruleResults.begin());
    return r;
  }
  int SystemShutdown() override {
    s_.calls.push_back("SystemShutdown");
    return 0;
  }
  int Cleanup(const std::wstring& folder, int topLevel) override {
    s_.cleanups.push_back(fake::Narrow(folder) + " " + std::to_string(topLevel));
    s_.comOpenAtCleanup = com_ && com_->uninitialized == 0;
    s_.logLinesAtCleanup = log_ ? log_() : 0;
    return 1;
  }
  fake::FakeCom* com_ = nullptr;
  std::function<std::size_t()> log_;

 private:
  bool Note(const char* step, bool result) {
    s_.calls.push_back(step);
    return result;
  }
  Script& s_;
};

// A fake machine with the three messages and a step script.
struct EntryRig {
  EntryRig() {
    for (unsigned id : {1u, 3u, 5u}) {
      m.resources.SetString(1024, id, L"message " + std::to_wstring(id));
    }
  }
  int RunWith(const std::string& token) {
    return RunPatchManager(m.os, token, [this](CVRNManager& manager) {
      auto steps = std::make_unique<ScriptedSteps>(manager, s);
      steps->com_ = &m.com;
      steps->log_ = [this] { return m.LogLines().size(); };
      return steps;
    });
  }
  // The entries under "QZVRN:Main", the ones this part of the run writes.
  std::vector<std::string> MainEntries() const {
    std::vector<std::string> out;
    for (const auto& line : m.LogLines()) {
      if (line.rfind("QZVRN:Main  ", 0) == 0) out.push_back(line);
    }
    return out;
  }
  std::vector<std::wstring> Boxes() const {
    std::vector<std::wstring> out;
    for (const auto& b : m.ui.boxes) out.push_back(b.text);
    return out;
  }
  bool HasLine(const std::string& wanted) const {
    for (const auto& line : m.LogLines()) {
      if (line == wanted) return true;
    }
    return false;
  }

  fake::FakeMachine m;
  Script s;
};

class EntryTest : public ::testing::Test, public EntryRig {};

using BoxList = std::vector<std::wstring>;
using Lines = std::vector<std::string>;

}  // namespace qz::rig
