// The checker's report: its JSON and its exit status.
#include <gtest/gtest.h>

#include "checker/diagnostics.h"

namespace {

TEST(CheckerReport, JsonEscapesAndStatusFollowsTheWorstFinding) {
  qz::check::Report report;
  EXPECT_EQ(report.Json(), "[]\n");
  report.Warning("d/\"x\".config", 3, "w", "tab\there \\ \x01");
  EXPECT_EQ(report.ExitStatus(), 1);
  report.Error("d/a.config", 1, "e", "bad");
  EXPECT_EQ(report.ExitStatus(), 2);
  EXPECT_EQ(report.Json(),
            "[\n  {\"file\": \"d/\\\"x\\\".config\", \"line\": 3, \"severity\": \"warning\", "
            "\"code\": \"w\", \"message\": \"tab\\there \\\\ \\u0001\"},\n"
            "  {\"file\": \"d/a.config\", \"line\": 1, \"severity\": \"error\", \"code\": \"e\", "
            "\"message\": \"bad\"}\n]\n");
}

}  // namespace
