#pragma once
#include <cstddef>
#include <cstdint>

namespace pack {

// The PE image checksum: 16-bit little-endian words added with end-around carry, plus
// the file's length. The sum does not depend on the order bytes arrive in, so the
// writer folds in each piece as it writes it, wherever it lands in the file.
class PeChecksum {
 public:
  // Adds the bytes that lie at offset in the file.
  void add(uint64_t offset, const void* data, size_t size);
  // The value for the header field; the field itself must have been added as zeros.
  uint32_t value(uint64_t file_size) const;

 private:
  uint64_t sum_ = 0;  // kept folded below 2^17
};

}  // namespace pack
