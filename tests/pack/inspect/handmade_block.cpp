#include "tests/pack/inspect/handmade_block.h"

#include <zstd.h>

#include <cstdint>

#include "tests/pack/test_files.h"

namespace pack_test {
namespace {

void put_le(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
}

}  // namespace

std::string handmade_block(const std::vector<HandmadeEntry>& entries, const std::string& fill) {
  std::string archive;
  for (const auto& [name, data, checksum] : entries) {
    for (char16_t unit : name) put_le(archive, unit, 2);
    put_le(archive, 0, 2);
    put_le(archive, data.size(), 8);
    put_le(archive, checksum.value_or(reference_crc32(data.data(), data.size())), 4);
    archive += data;
  }
  put_le(archive, 0, 2);
  std::string frame(ZSTD_compressBound(archive.size()), '\0');
  frame.resize(ZSTD_compress(frame.data(), frame.size(), archive.data(), archive.size(), 3));
  std::string block = "QVJ" + frame + fill;
  put_le(block, block.size(), 8);
  return block;
}

}  // namespace pack_test
