// The program's own resources.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/types.h"

namespace qz::port {

class Resources {
 public:
  virtual ~Resources() = default;
  // FindResourceExW(RT_STRING, block, language) with LoadResource and
  // LockResource: the block's raw 16-bit units; nullopt when missing.
  virtual std::optional<std::vector<std::uint16_t>> FindStringBlock(unsigned block,
                                                                    LANGID language) = 0;
  // LoadStringW on the program's module into 1024 characters; empty when
  // there is no such string.
  virtual std::wstring LoadStringW(unsigned id) = 0;
};

}  // namespace qz::port
