// The fuzz targets' kept inputs, replayed through the same target functions:
// every input a fuzzer turned up as a fault (tests/fuzz/regressions/<target>)
// and every seed must pass all of the target's checks.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/targets.h"

namespace qz {
namespace {

namespace fs = std::filesystem;

using Target = int (*)(const std::uint8_t*, std::size_t);

struct Input {
  std::string target;
  fs::path path;
};

Target TargetNamed(const std::string& name) {
  if (name == "config_reader") return fuzz::ConfigReaderOneInput;
  if (name == "conditions_reader") return fuzz::ConditionsReaderOneInput;
  if (name == "rule_file") return fuzz::RuleFileOneInput;
  if (name == "text_writers") return fuzz::TextWritersOneInput;
  return nullptr;
}

std::vector<Input> KeptInputs() {
  std::vector<Input> inputs;
  for (const char* kind : {"regressions", "seeds"}) {
    const fs::path root = fs::path(QZ_FUZZ_INPUTS) / kind;
    if (!fs::is_directory(root)) continue;
    for (const auto& folder : fs::directory_iterator(root)) {
      if (!folder.is_directory()) continue;
      for (const auto& file : fs::directory_iterator(folder.path())) {
        if (file.is_regular_file() && file.path().extension() != ".md") {
          inputs.push_back({folder.path().filename().string(), file.path()});
        }
      }
    }
  }
  return inputs;
}

void PrintTo(const Input& input, std::ostream* out) { *out << input.path.string(); }

class FuzzInput : public ::testing::TestWithParam<Input> {};

TEST_P(FuzzInput, PassesItsTargetsChecks) {
  const Input& input = GetParam();
  const Target target = TargetNamed(input.target);
  ASSERT_NE(target, nullptr) << "no fuzz target named " << input.target;
  std::ifstream file(input.path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(file), {}};
  try {
    target(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  } catch (const fuzz::CheckFailed& failed) {
    FAIL() << input.path << ": " << failed.what;
  }
}

std::string CaseName(const ::testing::TestParamInfo<Input>& info) {
  std::string name = info.param.path.parent_path().parent_path().filename().string() + "_" +
                     info.param.target + "_" + info.param.path.filename().string();
  for (auto& ch : name) {
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Kept, FuzzInput, ::testing::ValuesIn(KeptInputs()), CaseName);

TEST(FuzzInputs, EveryTargetHasSeeds) {
  for (const char* name : {"config_reader", "conditions_reader", "rule_file", "text_writers"}) {
    const fs::path seeds = fs::path(QZ_FUZZ_INPUTS) / "seeds" / name;
    EXPECT_TRUE(fs::is_directory(seeds) && !fs::is_empty(seeds)) << seeds;
  }
}

}  // namespace
}  // namespace qz
