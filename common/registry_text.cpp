#include "common/registry_text.h"

namespace qz {

std::wstring RegistryText(const std::vector<std::uint8_t>& data) {
  std::wstring text;
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
    const wchar_t ch = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    if (ch == L'\0') break;
    text += ch;
  }
  return text;
}

}  // namespace qz
