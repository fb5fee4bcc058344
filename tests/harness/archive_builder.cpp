#include "tests/harness/archive_builder.h"

#include <zstd.h>

#include "payload/crc32.h"

namespace {

void put_le(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

std::string build_archive(const std::vector<ArchiveEntry>& entries) {
  std::string archive;
  for (const auto& entry : entries) {
    for (wchar_t unit : entry.name) put_le(archive, static_cast<uint16_t>(unit), 2);
    put_le(archive, 0, 2);
    put_le(archive, entry.data.size(), 8);
    uint32_t crc = crc32_buffer(entry.data.data(), entry.data.size());
    if (crc == 0 && !entry.data.empty()) crc = 1;
    put_le(archive, entry.checksum_override ? entry.checksum : crc, 4);
    archive += entry.data;
  }
  put_le(archive, 0, 2);
  return archive;
}

std::string build_block(const std::string& archive, int level) {
  std::string frame(ZSTD_compressBound(archive.size()), '\0');
  // With the content checksum, as the pack tool writes it, so damage is always caught.
  ZSTD_CCtx* context = ZSTD_createCCtx();
  ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, level);
  ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1);
  size_t size = ZSTD_compress2(context, frame.data(), frame.size(), archive.data(), archive.size());
  ZSTD_freeCCtx(context);
  frame.resize(ZSTD_isError(size) ? 0 : size);
  std::string block = "QVJ" + frame;
  while ((block.size() % 16) != 0) block += '\0';
  put_le(block, block.size(), 8);
  return block;
}
