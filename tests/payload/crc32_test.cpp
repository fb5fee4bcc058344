#include "payload/crc32.h"
#include "payload/crc32_clmul.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// Bit at a time, straight from the polynomial: shares nothing with the table code.
uint32_t reference_crc(const unsigned char* data, size_t length) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < length; ++i) {
    c ^= data[i];
    for (int bit = 0; bit < 8; ++bit) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
  }
  return c ^ 0xFFFFFFFFu;
}

std::vector<unsigned char> random_bytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<unsigned char> bytes(size);
  for (auto& byte : bytes) byte = static_cast<unsigned char>(random());
  return bytes;
}

TEST(Crc32Buffer, GivesTheCatalogueCheckValue) {
  EXPECT_EQ(crc32_buffer("123456789", 9), 0xCBF43926u);
  // Long enough for the braided path, at whatever alignment the literal has.
  const char* text = "The quick brown fox jumps over the lazy dog";
  EXPECT_EQ(crc32_buffer(text, 43), 0x414FA339u);
}

TEST(Crc32Buffer, GivesZeroForNoDataAndForANullPointer) {
  EXPECT_EQ(crc32_buffer(nullptr, 0), 0u);
  EXPECT_EQ(crc32_buffer(nullptr, 100), 0u);
  EXPECT_EQ(crc32_buffer("x", 0), 0u);
}

TEST(Crc32Buffer, MatchesTheReferenceForEveryShortLengthAtEveryAlignment) {
  alignas(8) unsigned char buffer[112];
  std::vector<unsigned char> bytes = random_bytes(sizeof buffer, 7);
  std::copy(bytes.begin(), bytes.end(), buffer);
  for (size_t offset = 0; offset < 4; ++offset) {
    for (size_t length = 0; length <= 100; ++length) {
      ASSERT_EQ(crc32_buffer(buffer + offset, length), reference_crc(buffer + offset, length))
          << "offset " << offset << ", length " << length;
    }
  }
}

TEST(Crc32Buffer, MatchesTheReferenceOverLargeRandomBuffers) {
  for (size_t size : {size_t{1} << 20, size_t{65536 * 3 + 17}, size_t{4099}}) {
    std::vector<unsigned char> bytes = random_bytes(size + 3, static_cast<uint32_t>(size));
    for (size_t offset = 0; offset < 4; offset += 3) {
      EXPECT_EQ(crc32_buffer(bytes.data() + offset, size),
                reference_crc(bytes.data() + offset, size))
          << "size " << size << ", offset " << offset;
    }
  }
}

TEST(Crc32Paths, TableAndCarryLessMultiplyAgreeAtManyLengthsAndAlignments) {
  if (!crc32_clmul_available()) GTEST_SKIP() << "no PCLMULQDQ on this processor";
  std::vector<unsigned char> bytes = random_bytes(70000, 11);
  for (size_t offset = 0; offset < 16; ++offset) {
    for (size_t length = 0; length < 70000 - 16; length += length < 600 ? 1 : 997) {
      uint32_t table = crc32_update_table(0, bytes.data() + offset, length);
      ASSERT_EQ(crc32_update_clmul(0, bytes.data() + offset, length), table)
          << "offset " << offset << ", length " << length;
      ASSERT_EQ(table, reference_crc(bytes.data() + offset, length));
    }
  }
}

TEST(Crc32Paths, ContinueFromAnEarlierBlockAsOneBlockWould) {
  std::vector<unsigned char> bytes = random_bytes(5000, 12);
  uint32_t whole = reference_crc(bytes.data(), bytes.size());
  for (size_t split : {size_t{0}, size_t{1}, size_t{63}, size_t{64}, size_t{1000}, size_t{4937}}) {
    uint32_t first = crc32_update(0, bytes.data(), split);
    EXPECT_EQ(crc32_update(first, bytes.data() + split, bytes.size() - split), whole) << split;
    EXPECT_EQ(crc32_update_table(crc32_update_table(0, bytes.data(), split), bytes.data() + split,
                                 bytes.size() - split),
              whole)
        << split;
  }
}

}  // namespace
