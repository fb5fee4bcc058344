#pragma once
// How a start decides that a file already unpacked is current; the values are the record's.
#include <cstdint>

enum class ReuseRule : uint32_t {
  crc = 0,    // its CRC-32 equals the entry's
  stamp = 1,  // its size is the entry's and its last-write time the build's stamp
};
