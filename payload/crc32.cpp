#include "payload/crc32.h"

#include <cstddef>

#include "payload/crc32_clmul.h"

namespace {

constexpr uint32_t polynomial = 0xEDB88320u;
// Bytes per braided block: five lanes of one 32-bit word each.
constexpr int lanes = 5;
constexpr uint64_t block_bytes = lanes * 4;
// The braided path needs one whole block after up to 3 bytes of alignment.
constexpr uint64_t braid_minimum = block_bytes + 3;

// tables[0] is the byte table; tables[1 + k] takes byte k of a word 20 bytes ahead.
struct CrcTables {
  uint32_t entry[5][256];
};

constexpr CrcTables make_tables() {
  CrcTables tables{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ polynomial : c >> 1;
    tables.entry[0][i] = c;
  }
  for (int k = 0; k < 4; ++k) {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i << (8 * k);
      for (uint64_t step = 0; step < block_bytes; ++step) c = (c >> 8) ^ tables.entry[0][c & 0xFF];
      tables.entry[1 + k][i] = c;
    }
  }
  return tables;
}

constexpr CrcTables tables = make_tables();
static_assert(tables.entry[0][1] == 0x77073096u && tables.entry[0][128] == 0xEDB88320u);

constexpr const uint32_t* byte_table = tables.entry[0];

inline uint32_t byte_step(uint32_t c, unsigned char b) {
  return (c >> 8) ^ byte_table[(c ^ b) & 0xFF];
}

// Four zero-byte steps: the register after a word whose bits were already folded in.
inline uint32_t word_step(uint32_t c) {
  for (int i = 0; i < 4; ++i) c = (c >> 8) ^ byte_table[c & 0xFF];
  return c;
}

// A lane's word moved 20 bytes ahead, to the same lane of the next block.
inline uint32_t braid_step(uint32_t x) {
  return tables.entry[1][x & 0xFF] ^ tables.entry[2][(x >> 8) & 0xFF] ^
         tables.entry[3][(x >> 16) & 0xFF] ^ tables.entry[4][x >> 24];
}

inline uint32_t load_le32(const unsigned char* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// Whole blocks of 20 bytes; p is 4-byte aligned and count at least 1.
uint32_t crc_blocks(uint32_t c, const unsigned char* p, uint64_t count) {
  uint32_t l0 = c, l1 = 0, l2 = 0, l3 = 0, l4 = 0;
  for (; count > 1; --count, p += block_bytes) {
    l0 = braid_step(l0 ^ load_le32(p));
    l1 = braid_step(l1 ^ load_le32(p + 4));
    l2 = braid_step(l2 ^ load_le32(p + 8));
    l3 = braid_step(l3 ^ load_le32(p + 12));
    l4 = braid_step(l4 ^ load_le32(p + 16));
  }
  c = word_step(l0 ^ load_le32(p));
  c = word_step(l1 ^ load_le32(p + 4) ^ c);
  c = word_step(l2 ^ load_le32(p + 8) ^ c);
  c = word_step(l3 ^ load_le32(p + 12) ^ c);
  return word_step(l4 ^ load_le32(p + 16) ^ c);
}

uint32_t crc_bytes(uint32_t c, const unsigned char* p, uint64_t length) {
  for (; length >= 8; length -= 8, p += 8) {
    c = byte_step(c, p[0]);
    c = byte_step(c, p[1]);
    c = byte_step(c, p[2]);
    c = byte_step(c, p[3]);
    c = byte_step(c, p[4]);
    c = byte_step(c, p[5]);
    c = byte_step(c, p[6]);
    c = byte_step(c, p[7]);
  }
  for (; length > 0; --length) c = byte_step(c, *p++);
  return c;
}

}  // namespace

uint32_t crc32_update_table(uint32_t crc, const void* data, uint64_t length) {
  if (data == nullptr) return crc;
  const unsigned char* p = static_cast<const unsigned char*>(data);
  uint32_t c = ~crc;
  if (length >= braid_minimum) {
    for (; reinterpret_cast<uintptr_t>(p) % 4 != 0; --length) c = byte_step(c, *p++);
    uint64_t blocks = length / block_bytes;
    c = crc_blocks(c, p, blocks);
    p += blocks * block_bytes;
    length -= blocks * block_bytes;
  }
  return ~crc_bytes(c, p, length);
}

// Folding pays off from a few blocks of 16 bytes on.
constexpr uint64_t clmul_minimum = 64;

uint32_t crc32_update(uint32_t crc, const void* data, uint64_t length) {
  if (data != nullptr && length >= clmul_minimum && crc32_clmul_available()) {
    return crc32_update_clmul(crc, data, length);
  }
  return crc32_update_table(crc, data, length);
}

uint32_t crc32_buffer(const void* data, uint64_t length) { return crc32_update(0, data, length); }
