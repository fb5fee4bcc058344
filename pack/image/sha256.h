#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace pack {

using Sha256Digest = std::array<unsigned char, 32>;

// SHA-256 (FIPS 180-4) over bytes given in any number of pieces.
class Sha256 {
 public:
  Sha256();
  void add(const void* data, size_t size);
  // The digest of everything added; the object is spent afterwards.
  Sha256Digest finish();

 private:
  void compress(const unsigned char* block);

  std::array<uint32_t, 8> state_;
  std::array<unsigned char, 64> block_{};
  size_t filled_ = 0;
  uint64_t length_ = 0;
};

}  // namespace pack
