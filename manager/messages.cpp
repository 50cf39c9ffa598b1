#include "manager/messages.h"

#include <cstdio>

#include "common/message_box.h"
#include "common/string_loader.h"
#include "manager/manager.h"

namespace qz {

namespace {

struct LanguageRow {
  port::LANGID block;
  const wchar_t* text;
  const wchar_t* status;
};

LanguageRow ChooseLanguage(port::LANGID langId) {
  const unsigned primary = langId & 0x3FF;
  const unsigned sub = langId >> 10;
  switch (primary) {
    case 1: return {1025, L"LANG_ARABIC, SUBLANG_ARABIC_SAUDI_ARABIA", L"Info"};
    case 4:
      if (sub == 1) return {1028, L"LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL", L"If Part"};
      if (sub == 2) return {2052, L"LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED", L"else if Part"};
      return {2052, L"LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED", L"else Part"};
    case 7: return {1031, L"LANG_GERMAN, SUBLANG_GERMAN", L"Info"};
    case 10: return {1034, L"LANG_SPANISH, SUBLANG_SPANISH", L"Info"};
    case 12: return {1036, L"LANG_FRENCH, SUBLANG_FRENCH", L"Info"};
    case 16: return {1040, L"LANG_ITALIAN, SUBLANG_ITALIAN", L"Info"};
    case 19: return {1043, L"LANG_DUTCH, SUBLANG_DUTCH", L"Info"};
    case 20: return {1044, L"LANG_NORWEGIAN, SUBLANG_NORWEGIAN_BOKMAL", L"Info"};
    case 22: return {1046, L"LANG_PORTUGUESE, SUBLANG_PORTUGUESE_BRAZILIAN", L"Info"};
    case 29: return {1053, L"LANG_SWEDISH, SUBLANG_SWEDISH", L"Info"};
    default: return {0, L"MsgDisplayString()", L"default case"};
  }
}

}  // namespace

int LoadMessage(unsigned id, std::wstring& buffer) { return LoadMessage(*g_pManager, id, buffer); }

int LoadMessage(CVRNManager& manager, unsigned id, std::wstring& buffer) {
  port::Platform& os = manager.Os();
  manager.LogStarted(L"CVRNManager", L"LoadMessage");
  const port::LANGID langId = os.system.GetSystemDefaultLangID();
  wchar_t line[128];
  std::swprintf(line, sizeof line / sizeof line[0],
                L"OSLanguage: PrimaryLanguage = %d, SubLanguage = %d ", langId & 0x3FF,
                langId >> 10);
  manager.WriteLog(L"CVRNManager:LoadMessage", line, L"Info");
  const LanguageRow row = ChooseLanguage(langId);
  std::wstring text = LoadResourceString(os.resources, os.system, id, row.block);
  manager.WriteLog(L"CVRNManager:LoadMessage", row.text, row.status);
  if (text.size() >= kMessageBufferChars) text.resize(kMessageBufferChars - 1);
  buffer = text;
  manager.LogEnded(L"CVRNManager", L"LoadMessage");
  return 1;
}

port::Result<int> CVRNManager::ShowMessage(port::WindowHandle owner, const std::wstring& text,
                                           const std::wstring& caption, unsigned style) {
  return ShowMessageUnlessQuiet(os_.ui, m_silentMode || m_launchMode == kUpdateToolMode, owner,
                                text, caption, style);
}

namespace {
struct ErrorRow {
  const wchar_t* text;
  const wchar_t* status;
};

ErrorRow ErrorText(_error error) {
  switch (error) {
    case errConfigurationNotProper: return {L"Configuration file: ", L"Not Proper"};
    case errRuleFileNotFound: return {L"Rule file: ", L"Not found"};
    case errBackupFailed: return {L"Backup : ", L"Failed"};
    case errRestoreFailed: return {L"Restore : ", L"Failed"};
    case errRegistryKeyAbsent: return {L"Registry key: ", L"Absent"};
    case errRegistrySubKeyUnreadable: return {L"Could not read: ", L"the sub key in the registry"};
    case errInstallPathNotFound: return {L"Installation path: ", L"Not found"};
    case errPatchFileNotFound: return {L"Patch file: ", L"Not found"};
    case errGuidKeyAbsent: return {L"Guid key absent: ", L"Not Proper"};
    default: return {L"General ", L"Failure"};
  }
}
}  // namespace

void ParseVRNError(_error error, CVRNManager* manager) {
  manager->LogStarted(L"CVRNManager", L"ParseVRNError");
  const ErrorRow row = ErrorText(error);
  manager->WriteLog(L"CVRNManager:ParseVRNError", row.text, row.status);
  std::wstring message;
  LoadMessage(*manager, kMsgUpdateFailed, message);
  // Update-tool mode does not silence this one: only SILENT_MODE does.
  if (!manager->m_silentMode) {
    port::Ui& ui = manager->Os().ui;
    ui.MessageBoxW(ui.GetDesktopWindow(), message, L"QZ", port::kMbOk | port::kMbIconInformation);
  }
  manager->LogEnded(L"CVRNManager", L"ParseVRNError");
}

}  // namespace qz
