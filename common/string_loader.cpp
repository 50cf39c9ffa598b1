#include "common/string_loader.h"

namespace qz {

namespace {

constexpr port::LANGID kNeutralBlock = 1024;

std::wstring FromBlock(port::Resources& resources, unsigned id, port::LANGID language) {
  const port::Result<std::vector<std::uint16_t>> block =
      resources.FindStringBlock(id / 16 + 1, language);
  return block ? StringFromBlock(block.value, id) : std::wstring();
}

}  // namespace

std::wstring StringFromBlock(const std::vector<std::uint16_t>& block, unsigned id) {
  std::size_t pos = 0;
  for (unsigned skip = id % 16; skip > 0; --skip) {
    if (pos >= block.size()) return {};
    pos += 1 + block[pos];
  }
  if (pos >= block.size()) return {};
  const std::size_t length = block[pos];
  if (pos + 1 + length > block.size()) return {};  // a torn block: use none
  std::wstring text;
  text.reserve(length);
  for (std::size_t i = 0; i < length; ++i) {
    text += static_cast<wchar_t>(block[pos + 1 + i]);
  }
  return text;
}

std::wstring LoadResourceString(port::Resources& resources, port::SystemInfo& system, unsigned id,
                                port::LANGID language) {
  std::wstring text;
  if (language != 0) {
    text = FromBlock(resources, id, language);
  } else {
    // The neutral request in the order Windows itself takes, done here
    // because not every platform's lookup does it.
    const port::LANGID order[] = {system.GetThreadLangID(), system.GetUserDefaultUILanguage(),
                                  kNeutralBlock};
    for (port::LANGID lang : order) {
      if (lang == 0) continue;
      text = FromBlock(resources, id, lang);
      if (!text.empty()) break;
    }
  }
  if (text.empty()) text = resources.LoadStringW(id);
  return text;
}

}  // namespace qz
