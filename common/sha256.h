// SHA-256, for checking that a file saved earlier still holds what was
// saved: a backup copy that someone or a failing disk changed is not put
// back over a product file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace qz {

class Sha256 {
 public:
  Sha256();
  void Update(const void* data, std::size_t size);
  // The digest as 64 lower-case hexadecimal digits; the object is spent.
  std::string HexDigest();

 private:
  void Block(const unsigned char* block);
  std::uint32_t state_[8];
  unsigned char buffer_[64];
  std::size_t buffered_ = 0;
  std::uint64_t length_ = 0;
};

}  // namespace qz
