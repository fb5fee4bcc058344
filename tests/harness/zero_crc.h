#pragma once
// Data of a chosen CRC-32, 0 among them, which archive writers store as 1: for tests of
// both trees.
#include <cstddef>
#include <cstdint>
#include <string>

// data followed by four bytes that bring its CRC-32 to crc. Each byte step is linear and
// invertible, so the register can be walked back from the value that ends in that CRC.
inline std::string with_crc(std::string data, uint32_t crc) {
  uint32_t table[256];
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int bit = 0; bit < 8; ++bit) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    table[i] = c;
  }
  uint32_t reg = 0xFFFFFFFFu;
  for (unsigned char b : data) reg = (reg >> 8) ^ table[(reg ^ b) & 0xFF];
  // Walk back from the wanted final register to find the four table indices.
  uint32_t target = ~crc;
  int index[4] = {};
  for (int k = 3; k >= 0; --k) {
    for (int i = 0; i < 256; ++i) {
      if ((table[i] >> 24) == (target >> 24)) index[k] = i;
    }
    target = ((target ^ table[index[k]]) << 8) | static_cast<uint32_t>(index[k]);
  }
  for (int k = 0; k < 4; ++k) {
    unsigned char b = static_cast<unsigned char>((reg ^ static_cast<uint32_t>(index[k])) & 0xFF);
    data += static_cast<char>(b);
    reg = (reg >> 8) ^ table[index[k]];
  }
  return data;
}

// size bytes (size >= 4): letters, then four bytes that bring the CRC-32 to 0.
inline std::string bytes_with_zero_crc(size_t size) {
  std::string data(size - 4, 'k');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>('a' + i % 26);
  return with_crc(data, 0);
}
