#include "pack/image/pe_checksum.h"

#include <cstring>

namespace pack {
namespace {

// Folds to 16 bits; the result stays congruent modulo 0xFFFF and nonzero if it was.
uint64_t fold(uint64_t sum) {
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return sum;
}

}  // namespace

void PeChecksum::add(uint64_t offset, const void* data, size_t size) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  uint64_t sum = sum_;
  if (size > 0 && offset % 2 == 1) {
    sum += uint64_t{bytes[0]} << 8;
    ++bytes;
    --size;
  }
  // 65536 is 1 modulo 0xFFFF, so 32-bit words give the same sum as 16-bit ones. Folding
  // every 2^20 words keeps the 64-bit sum far from overflow.
  while (size >= 4) {
    size_t words = size / 4 < (size_t{1} << 20) ? size / 4 : (size_t{1} << 20);
    for (size_t i = 0; i < words; ++i) {
      uint32_t word;
      std::memcpy(&word, bytes + 4 * i, 4);
      sum += word;
    }
    bytes += 4 * words;
    size -= 4 * words;
    sum = fold(sum);
  }
  if (size >= 2) {
    sum += bytes[0] | uint64_t{bytes[1]} << 8;
    bytes += 2;
    size -= 2;
  }
  if (size == 1) sum += bytes[0];
  sum_ = fold(sum);
}

uint32_t PeChecksum::value(uint64_t file_size) const {
  return static_cast<uint32_t>(fold(sum_) + file_size);
}

}  // namespace pack
