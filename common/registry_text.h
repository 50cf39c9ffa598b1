// Registry string data as the product reads it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace qz {

// The text of a value's bytes up to its first terminator or its end,
// whichever comes first: data stored without a terminator is never read
// past its last byte, and an odd last byte is no character.
std::wstring RegistryText(const std::vector<std::uint8_t>& data);

}  // namespace qz
