// The checksum folded piece by piece, at any offsets and in any order, equals the plain
// 16-bit sum over the whole file.
#include <gtest/gtest.h>

#include "pack/image/pe_checksum.h"

namespace pack_test {
namespace {

uint32_t plain_checksum(const std::vector<unsigned char>& file) {
  uint64_t sum = 0;
  for (size_t i = 0; i < file.size(); i += 2) {
    sum += file[i] | (i + 1 < file.size() ? file[i + 1] << 8 : 0);
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>((sum & 0xFFFF) + file.size());
}

TEST(PeChecksum, PiecesAtOddOffsetsAndOutOfOrder) {
  std::vector<unsigned char> file(100003);
  uint32_t state = 7;
  for (unsigned char& byte : file) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<unsigned char>(state >> 23);
  }
  const size_t cuts[] = {0, 1, 4, 7, 1000, 1001, 65537, 99999, file.size()};
  pack::PeChecksum pieces;
  for (size_t i = std::size(cuts) - 1; i > 0; --i) {  // last piece first
    pieces.add(cuts[i - 1], &file[cuts[i - 1]], cuts[i] - cuts[i - 1]);
  }
  EXPECT_EQ(plain_checksum(file), pieces.value(file.size()));

  std::vector<unsigned char> ones(4096, 0xFF);
  pack::PeChecksum all_ones;
  all_ones.add(0, ones.data(), ones.size());
  EXPECT_EQ(plain_checksum(ones), all_ones.value(ones.size()));
}

}  // namespace
}  // namespace pack_test
