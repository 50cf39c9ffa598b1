// The string loader both programs share: one message from a string-table
// block of a chosen language, with the platform's plain loader behind it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/resources.h"
#include "platform/system_info.h"

namespace qz {

// Reads string `id` out of a raw string-table block (16 counted strings);
// empty when the block is too short or torn.
std::wstring StringFromBlock(const std::vector<std::uint16_t>& block, unsigned id);

// The text of string `id` from the block of `language` (0: the platform's
// own order: thread language, user UI language, neutral block), falling
// back to LoadStringW. May be empty.
std::wstring LoadResourceString(port::Resources& resources, port::SystemInfo& system, unsigned id,
                                port::LANGID language);

}  // namespace qz
