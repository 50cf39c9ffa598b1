// What the checker makes of the script host's answer.
#include <gtest/gtest.h>

#include <string>

#include "checker/script_host.h"

namespace {

TEST(CheckerHostOutput, TheHostScriptsAnswer) {
  using qz::check::SyntaxResult;
  const struct {
    const char* output;
    SyntaxResult::Kind kind;
    std::string message;
  } cases[] = {
      {"qzvrn-check-host: clean\r\n", SyntaxResult::kClean, ""},
      {"qzvrn-check-host: syntax error: Expected ';'\r\n", SyntaxResult::kError, "Expected ';'"},
      {"qzvrn-check-host: not run: Out of memory\r\n", SyntaxResult::kNotRun, "Out of memory"},
      {"Windows Script Host access is disabled on this machine.\r\n", SyntaxResult::kNotRun,
       "the script host says: Windows Script Host access is disabled on this machine."},
      {"", SyntaxResult::kNotRun, "the script host gave no answer"},
  };
  for (const auto& c : cases) {
    const SyntaxResult result = qz::check::ParseHostReport(c.output);
    EXPECT_EQ(result.kind, c.kind) << c.output;
    EXPECT_EQ(result.message, c.message) << c.output;
  }
}

}  // namespace
