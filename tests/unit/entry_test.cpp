// The run from launch token to exit code, against a fake machine.
#include <gtest/gtest.h>

#include "manager/entry.h"
#include "platform/fake/fake_platform.h"

namespace qz {
namespace {

using fake::FakeMachine;

TEST(EntryTokens, UnrecognisedTokensEndTheRunWithMessage3) {
  for (const std::string& token : std::vector<std::string>{"qzsu", "QZSU ", "QZSU x", "", " QZSU", "QZWEB ", std::string(300, 'Q')}) {
    FakeMachine m;
    m.resources.SetString(1024, 3, L"Update failed.");
    EXPECT_EQ(RunPatchManager(m.os, token), 0) << token;
    const auto lines = m.LogLines();
    ASSERT_GE(lines.size(), 3u) << token;
    EXPECT_EQ(lines[0], "QZVRN  Main  Started");
    EXPECT_EQ(lines[1], "QZVRN:Main  Update not required:  Not QZSU/QZWEB");
    EXPECT_EQ(lines.back(), "CVRNManager  ~CVRNManager  Started");
    ASSERT_EQ(m.ui.boxes.size(), 1u) << token;
    EXPECT_EQ(m.ui.boxes[0].text, L"Update failed.");
    EXPECT_EQ(m.ui.boxes[0].caption, L"QZ");
    EXPECT_EQ(m.ui.boxes[0].style, 0x40u);
    EXPECT_EQ(m.ui.boxes[0].owner, fake::FakeUi::kDesktop);
  }
}

}  // namespace
}  // namespace qz
