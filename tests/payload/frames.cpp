#include "tests/payload/frames.h"

#include <zstd.h>

#include <algorithm>
#include <random>

namespace {

constexpr size_t max_block = 128 * 1024;

void put_le(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

std::string raw_frame_with_window(const std::string& content, unsigned char window_descriptor) {
  std::string frame;
  put_le(frame, ZSTD_MAGICNUMBER, 4);
  frame += '\0';  // no content size, no checksum, no dictionary, not single-segment
  frame += static_cast<char>(window_descriptor);
  size_t offset = 0;
  do {
    size_t size = std::min(max_block, content.size() - offset);
    bool last = offset + size == content.size();
    put_le(frame, (size << 3) | (last ? 1 : 0), 3);  // block type 0: raw
    frame.append(content, offset, size);
    offset += size;
  } while (offset < content.size());
  return frame;
}

std::string raw_frame(const std::string& content) {
  return raw_frame_with_window(content, 0x38);  // 2^17 bytes
}

std::string skippable_frame(const std::string& content) {
  std::string frame;
  put_le(frame, ZSTD_MAGIC_SKIPPABLE_START, 4);
  put_le(frame, content.size(), 4);
  return frame + content;
}

std::string compressed_frame(const std::string& content, int level, bool checksum) {
  ZSTD_CCtx* context = ZSTD_createCCtx();
  ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, level);
  ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, checksum ? 1 : 0);
  std::string frame(ZSTD_compressBound(content.size()), '\0');
  size_t size = ZSTD_compress2(context, frame.data(), frame.size(), content.data(), content.size());
  ZSTD_freeCCtx(context);
  frame.resize(ZSTD_isError(size) ? 0 : size);
  return frame;
}

std::string payload_block(const std::string& frames, size_t zero_fill) {
  std::string block = "QVJ" + frames + std::string(zero_fill, '\0');
  put_le(block, block.size(), 8);
  return block;
}

std::string sample_bytes(size_t size, uint32_t seed) {
  static const std::string words[] = {"alpha ", "kernel32 ", "data ", std::string("\0\0\0\1", 4),
                                      "resource "};
  std::mt19937 random(seed);
  std::string bytes;
  while (bytes.size() < size) {
    uint32_t pick = random();
    if (pick % 4 == 0) {
      for (int i = 0; i < 16; ++i) bytes += static_cast<char>(random());
    } else {
      bytes += words[pick % 5];
    }
  }
  bytes.resize(size);
  return bytes;
}
