// Localized messages: the language table, the string loader's fallbacks,
// ShowMessage's silence and ParseVRNError's rows.
#include <gtest/gtest.h>

#include "manager/manager.h"
#include "manager/messages.h"
#include "platform/fake/fake_platform.h"

namespace qz {
namespace {

using fake::FakeMachine;
using Lines = std::vector<std::string>;

constexpr port::LANGID Lang(unsigned primary, unsigned sub) {
  return static_cast<port::LANGID>(primary | (sub << 10));
}

class MessagesTest : public ::testing::Test {
 protected:
  MessagesTest() : manager(m.os) { g_pManager = &manager; }
  ~MessagesTest() override { g_pManager = nullptr; }

  // The log lines written after the manager was built (none before).
  Lines Log() const { return m.LogLines(); }

  FakeMachine m;
  CVRNManager manager;
};

TEST_F(MessagesTest, LanguageTableChoosesBlockAndLogsItsRow) {
  struct Row {
    port::LANGID lang;
    port::LANGID block;  // 0: the neutral request
    const char* text;
    const char* status;
  };
  const Row rows[] = {
      {Lang(1, 1), 1025, "LANG_ARABIC, SUBLANG_ARABIC_SAUDI_ARABIA", "Info"},
      {Lang(1, 5), 1025, "LANG_ARABIC, SUBLANG_ARABIC_SAUDI_ARABIA", "Info"},
      {Lang(4, 1), 1028, "LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL", "If Part"},
      {Lang(4, 2), 2052, "LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED", "else if Part"},
      {Lang(4, 3), 2052, "LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED", "else Part"},
      {Lang(7, 1), 1031, "LANG_GERMAN, SUBLANG_GERMAN", "Info"},
      {Lang(7, 2), 1031, "LANG_GERMAN, SUBLANG_GERMAN", "Info"},
      {Lang(10, 3), 1034, "LANG_SPANISH, SUBLANG_SPANISH", "Info"},
      {Lang(12, 1), 1036, "LANG_FRENCH, SUBLANG_FRENCH", "Info"},
      {Lang(16, 1), 1040, "LANG_ITALIAN, SUBLANG_ITALIAN", "Info"},
      {Lang(19, 2), 1043, "LANG_DUTCH, SUBLANG_DUTCH", "Info"},
      {Lang(20, 2), 1044, "LANG_NORWEGIAN, SUBLANG_NORWEGIAN_BOKMAL", "Info"},
      {Lang(22, 2), 1046, "LANG_PORTUGUESE, SUBLANG_PORTUGUESE_BRAZILIAN", "Info"},
      {Lang(29, 1), 1053, "LANG_SWEDISH, SUBLANG_SWEDISH", "Info"},
      {Lang(17, 1), 0, "MsgDisplayString()", "default case"},
      {Lang(9, 1), 0, "MsgDisplayString()", "default case"},
  };
  for (const Row& row : rows) {
    FakeMachine fresh;
    CVRNManager mgr(fresh.os);
    g_pManager = &mgr;
    fresh.system.systemLanguage = row.lang;
    fresh.system.threadLanguage = 1033;
    fresh.resources.SetString(row.block ? row.block : 1033, 3, L"from block");
    std::wstring text;
    EXPECT_EQ(LoadMessage(3, text), 1);
    EXPECT_EQ(text, L"from block") << row.lang;
    const Lines lines = fresh.LogLines();
    const std::string os = "CVRNManager:LoadMessage  OSLanguage: PrimaryLanguage = " +
                           std::to_string(row.lang & 0x3FF) +
                           ", SubLanguage = " + std::to_string(row.lang >> 10) + "   Info";
    EXPECT_EQ(lines, (Lines{"CVRNManager  LoadMessage  Started", os,
                            std::string("CVRNManager:LoadMessage  ") + row.text + "  " + row.status,
                            "CVRNManager  LoadMessage  Ended"}));
    ASSERT_FALSE(fresh.resources.lookups.empty());
    EXPECT_EQ(fresh.resources.lookups[0].first, 1u);  // block 3 / 16 + 1
    if (row.block) {
      EXPECT_EQ(fresh.resources.lookups[0].second, row.block);
    }
  }
  g_pManager = &manager;
}

TEST_F(MessagesTest, NeutralRequestTakesThreadThenUserThenNeutralBlock) {
  m.system.systemLanguage = Lang(17, 1);  // Japanese: no row of its own
  m.resources.SetString(1024, 1, L"neutral");
  m.resources.SetString(1041, 1, L"japanese");
  m.resources.SetString(1049, 1, L"russian");
  std::wstring text;

  m.system.threadLanguage = 1041;
  LoadMessage(1, text);
  EXPECT_EQ(text, L"japanese");

  m.system.threadLanguage = 1033;
  m.system.userUiLanguage = 1049;
  LoadMessage(1, text);
  EXPECT_EQ(text, L"russian");

  m.system.userUiLanguage = 1065;  // Farsi: no block
  LoadMessage(1, text);
  EXPECT_EQ(text, L"neutral");
}

TEST_F(MessagesTest, MissingOrEmptyStringFallsBackToLoadString) {
  m.system.systemLanguage = Lang(7, 1);
  m.resources.plainStrings[5] = L"plain";
  std::wstring text = L"stale";
  LoadMessage(5, text);  // no German block at all
  EXPECT_EQ(text, L"plain");

  m.resources.SetString(1031, 5, L"");  // block present, string empty
  LoadMessage(5, text);
  EXPECT_EQ(text, L"plain");

  m.resources.plainStrings.clear();
  LoadMessage(5, text);  // nothing anywhere: an empty text, no failure
  EXPECT_EQ(text, L"");
}

TEST_F(MessagesTest, TornBlockIsNotReadPastItsEnd) {
  m.system.systemLanguage = Lang(12, 1);
  m.resources.plainStrings[3] = L"fallback";
  // Strings 0..2 claim more units than the block holds.
  m.resources.blocks[{1, 1036}] = {0, 0, 0x7FFF, 'x'};
  std::wstring text;
  LoadMessage(3, text);
  EXPECT_EQ(text, L"fallback");
  m.resources.blocks[{1, 1036}] = {0, 0, 0, 40, 'a', 'b'};
  LoadMessage(3, text);
  EXPECT_EQ(text, L"fallback");
}

TEST_F(MessagesTest, OverlongTextIsCutToTheBuffer) {
  m.resources.SetString(1033, 2, std::wstring(5000, L'x'));
  std::wstring text;
  LoadMessage(2, text);
  EXPECT_EQ(text.size(), kMessageBufferChars - 1);
}

TEST_F(MessagesTest, ShowMessageIsSilentInSilentAndUpdateToolRuns) {
  manager.m_launchMode = kWebSiteMode;
  EXPECT_EQ(manager.ShowMessage(port::WindowHandle{7}, L"t", L"QZ", 0x40).value, 1);
  EXPECT_EQ(m.ui.boxes.size(), 1u);
  manager.m_launchMode = kUpdateToolMode;
  EXPECT_EQ(manager.ShowMessage(port::WindowHandle{7}, L"t", L"QZ", 0x40).value, 1);
  manager.m_launchMode = kLaunchModeNotSet;
  manager.ShowMessage(port::WindowHandle{7}, L"t", L"QZ", 0x40);
  EXPECT_EQ(m.ui.boxes.size(), 2u);
  manager.m_silentMode = 1;
  manager.ShowMessage(port::WindowHandle{7}, L"t", L"QZ", 0x40);
  EXPECT_EQ(m.ui.boxes.size(), 2u);
}

TEST_F(MessagesTest, ParseVRNErrorLogsItsRowAndShowsMessage3) {
  const std::pair<int, const char*> rows[] = {
      {0, "Configuration file:   Not Proper"},
      {1, "Rule file:   Not found"},
      {2, "Backup :   Failed"},
      {3, "Restore :   Failed"},
      {4, "Registry key:   Absent"},
      {5, "Could not read:   the sub key in the registry"},
      {6, "Installation path:   Not found"},
      {7, "Patch file:   Not found"},
      {8, "Guid key absent:   Not Proper"},
      {9, "General   Failure"},
      {10, "General   Failure"},
      {11, "General   Failure"},
      {42, "General   Failure"},
      {-1, "General   Failure"},
  };
  for (const auto& [value, entry] : rows) {
    FakeMachine fresh;
    CVRNManager mgr(fresh.os);
    g_pManager = &mgr;
    mgr.m_launchMode = kUpdateToolMode;  // does not silence this box
    fresh.resources.SetString(1033, 3, L"Update failed.");
    ParseVRNError(static_cast<_error>(value), &mgr);
    const Lines lines = fresh.LogLines();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "CVRNManager  ParseVRNError  Started");
    EXPECT_EQ(lines[1], std::string("CVRNManager:ParseVRNError  ") + entry) << value;
    EXPECT_EQ(lines[2], "CVRNManager  LoadMessage  Started");
    EXPECT_EQ(lines[6], "CVRNManager  ParseVRNError  Ended");
    ASSERT_EQ(fresh.ui.boxes.size(), 1u);
    EXPECT_EQ(fresh.ui.boxes[0].text, L"Update failed.");
    EXPECT_EQ(fresh.ui.boxes[0].caption, L"QZ");
    EXPECT_EQ(fresh.ui.boxes[0].style, 0x40u);
    EXPECT_EQ(fresh.ui.boxes[0].owner, fake::FakeUi::kDesktop);
  }
  g_pManager = &manager;
  manager.m_silentMode = 1;
  ParseVRNError(errBackupFailed, &manager);
  EXPECT_TRUE(m.ui.boxes.empty());
}

}  // namespace
}  // namespace qz
