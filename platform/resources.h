// The program's own resources.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"

namespace qz::port {

class Resources {
 public:
  virtual ~Resources() = default;
  // FindResourceExW(RT_STRING, block, language) with LoadResource and
  // LockResource: the block's raw 16-bit units. A block number that is no
  // resource id fails with ERROR_RESOURCE_NAME_NOT_FOUND.
  virtual Result<std::vector<std::uint16_t>> FindStringBlock(unsigned block, LANGID language) = 0;
  // LoadStringW on the program's module into 1024 characters; empty when
  // there is no such string. No Result: an empty answer is how LoadStringW
  // says "none", and the loader then has nothing else to try.
  virtual std::wstring LoadStringW(unsigned id) = 0;
};

}  // namespace qz::port
