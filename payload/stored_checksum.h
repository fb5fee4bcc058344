#pragma once
// The rule by which an entry's stored checksum admits the bytes decoded for it, shared by
// the launcher and the pack tool's checks so that both take the same archives.
#include <cstdint>

// Writers store 1 for data whose CRC-32 is 0, since 0 stands for a file that cannot be
// read when files on disk are compared; a stored 0 comes from a writer that stored no
// checksum, and admits any data, as such entries have always been written.
constexpr bool stored_checksum_admits(uint32_t stored, uint32_t crc) {
  return stored == 0 || stored == crc || (stored == 1 && crc == 0);
}
