// The fake string tables.
#include "platform/fake/fake_platform.h"

namespace qz::fake {

void FakeResources::SetString(LANGID language, unsigned id, const std::wstring& text) {
  auto& block = blocks[{id / 16 + 1, language}];
  // Rebuild the block from its 16 strings.
  std::vector<std::wstring> strings(16);
  std::size_t pos = 0;
  for (unsigned i = 0; i < 16 && pos < block.size(); ++i) {
    const std::size_t len = block[pos];
    for (std::size_t k = 0; k < len && pos + 1 + k < block.size(); ++k) {
      strings[i] += static_cast<wchar_t>(block[pos + 1 + k]);
    }
    pos += 1 + len;
  }
  strings[id % 16] = text;
  block.clear();
  for (const auto& s : strings) {
    block.push_back(static_cast<std::uint16_t>(s.size()));
    for (wchar_t ch : s) block.push_back(static_cast<std::uint16_t>(ch));
  }
}

port::Result<std::vector<std::uint16_t>> FakeResources::FindStringBlock(unsigned block,
                                                                        LANGID language) {
  using Read = port::Result<std::vector<std::uint16_t>>;
  lookups.emplace_back(block, language);
  auto it = blocks.find({block, language});
  if (it == blocks.end()) return Read::Failed(port::kErrorResourceNameNotFound);
  return Read::Ok(it->second);
}

std::wstring FakeResources::LoadStringW(unsigned id) {
  auto it = plainStrings.find(id);
  return it == plainStrings.end() ? std::wstring() : it->second;
}

}  // namespace qz::fake
