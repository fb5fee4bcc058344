#pragma once
// The index of a launcher's archive entries, which the pack tool writes beside the payload
// so that a start under the stamp rule can tell that every file is current without
// decoding anything. Shared by the launcher and the pack tool; integers little-endian.
//
//   header    index_header_size bytes: entry count (u32), name units (u32), the index's
//             own checksum (u32, index_own_checksum), 4 bytes of 0
//   entries   entry count x index_entry_size bytes, in archive order: size (u64), stored
//             checksum (u32), where the name starts among the name units (u32)
//   listing   entry count x u32 entry numbers: the entries of each folder together, and
//             within a folder sorted by index_name_order of the names after the folder
//   names     the name units (UTF-16), each name followed by a 0 unit, as in the archive
#include <cstddef>
#include <cstdint>

constexpr size_t index_header_size = 16;
constexpr size_t index_entry_size = 16;
constexpr size_t index_listing_item_size = 4;

constexpr size_t index_own_checksum_offset = 8;

constexpr size_t index_size_offset = 0;
constexpr size_t index_checksum_offset = 8;
constexpr size_t index_name_offset = 12;

// Where the listing and the names start, and the whole index's length, for an index of
// `count` entries and `units` name units.
constexpr uint64_t index_listing_at(uint64_t count) {
  return index_header_size + count * index_entry_size;
}
constexpr uint64_t index_names_at(uint64_t count) {
  return index_listing_at(count) + count * index_listing_item_size;
}
constexpr uint64_t index_length(uint64_t count, uint64_t units) {
  return index_names_at(count) + 2 * units;
}

// The CRC-32 of the index's length bytes with its own checksum field read as 0, and 1 in
// place of 0, so that an index of an older writer, which has 0 there, never matches.
// update_crc(crc, bytes, count) continues a CRC-32 (0 to start).
template <typename UpdateCrc>
uint32_t index_own_checksum(const unsigned char* index, uint64_t length, UpdateCrc update_crc) {
  const unsigned char zero[4] = {0, 0, 0, 0};
  uint32_t crc = update_crc(0, index, index_own_checksum_offset);
  crc = update_crc(crc, zero, sizeof zero);
  uint64_t rest_at = index_own_checksum_offset + sizeof zero;
  crc = update_crc(crc, index + rest_at, length - rest_at);
  return crc != 0 ? crc : 1;
}

// Letter case as the file system ignores it, for ASCII letters: a folder listing may give
// a name in another case than the archive's when an earlier file was there first.
constexpr uint32_t index_folded_unit(uint32_t unit) {
  return unit >= 'a' && unit <= 'z' ? unit - ('a' - 'A') : unit;
}

// The order of names within a folder's part of the listing: < 0, 0 or > 0.
template <typename Unit>
int index_name_order(const Unit* a, const Unit* b) {
  for (;; ++a, ++b) {
    uint32_t x = index_folded_unit(static_cast<uint16_t>(*a));
    uint32_t y = index_folded_unit(static_cast<uint16_t>(*b));
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
}
