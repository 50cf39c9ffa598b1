// FakeResources: the Resources port (platform/resources.h) in memory, for the native unit tests.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/fake/fold.h"
#include "platform/resources.h"

namespace qz::fake {

class FakeResources : public port::Resources {
 public:
  // Puts string `id` into the block of `language`.
  void SetString(LANGID language, unsigned id, const std::wstring& text);
  std::map<unsigned, std::wstring> plainStrings;  // what LoadStringW gives
  std::vector<std::pair<unsigned, LANGID>> lookups;

  port::Result<std::vector<std::uint16_t>> FindStringBlock(unsigned block,
                                                           LANGID language) override;
  std::wstring LoadStringW(unsigned id) override;

  // Raw blocks by (block number, language); tests may store torn ones.
  std::map<std::pair<unsigned, LANGID>, std::vector<std::uint16_t>> blocks;
};

}  // namespace qz::fake
