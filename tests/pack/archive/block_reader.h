#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace pack_test {

struct ReadEntry {
  std::u16string name;
  uint64_t size = 0;
  uint32_t stored_checksum = 0;
  uint32_t data_crc = 0;  // CRC-32 of the data as read back
  std::string data;       // kept for entries up to 1 MiB
};

// A payload block taken apart without any of the writer's code: magic, one zstd frame
// decoded with a default decoder context, zero fill, trailer, and the archive inside.
struct ReadBlock {
  bool magic_ok = false;
  uint64_t frame_size = 0;
  unsigned window_log = 0;  // the frame's window, as the decoder must provide it
  bool has_checksum = false;
  bool fill_is_zero = false;
  uint64_t trailer = 0;
  uint64_t trailer_offset = 0;
  uint64_t archive_size = 0;
  bool ends_at_terminator = false;  // nothing after the terminator
  std::vector<ReadEntry> entries;
  std::string error;  // "" when the block could be read completely
};

ReadBlock read_block(const std::vector<unsigned char>& block);

// The constants record of a launcher, found by its marker, which must occur once.
struct RecordInImage {
  size_t offset = 0;  // in the file
  uint32_t payload_rva = 0;
  uint64_t payload_length = 0;
  std::u16string spec;
  std::u16string version;
};
RecordInImage constants_in_executable(const std::vector<unsigned char>& exe);

// The block inside a launcher: where the record's RVA and length put it, through the
// section table.
std::vector<unsigned char> block_in_executable(const std::vector<unsigned char>& exe);

}  // namespace pack_test
