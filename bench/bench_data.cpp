#include "bench/bench_data.h"

#include <zstd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>

std::string random_bytes(size_t size) {
  std::mt19937_64 random(42);
  std::string bytes(size, '\0');
  for (size_t i = 0; i + 8 <= size; i += 8) {
    uint64_t value = random();
    for (int k = 0; k < 8; ++k) bytes[i + k] = static_cast<char>(value >> (8 * k));
  }
  return bytes;
}

namespace {

const char* const words[] = {"import ",   "return ",  "function ", "payload ", "window ",
                             "resource ", "kernel32", "\r\n",      "    ",     "self."};

void append_text(std::string& out, std::mt19937& random, size_t size) {
  while (size-- > 0) out += words[random() % 10];
}

// Fixed-width records with small counters, like tables in executables and data files.
void append_records(std::string& out, std::mt19937& random, size_t count) {
  uint32_t base = random();
  for (size_t i = 0; i < count; ++i) {
    uint32_t fields[4] = {base + static_cast<uint32_t>(i) * 16,
                          static_cast<uint32_t>(random() % 64), 0x00400000u,
                          static_cast<uint32_t>(i)};
    out.append(reinterpret_cast<const char*>(fields), sizeof fields);
  }
}

void append_noise(std::string& out, std::mt19937& random, size_t size) {
  while (size-- > 0) out += static_cast<char>(random());
}

}  // namespace

std::string mixed_bytes(size_t size) {
  std::mt19937 random(7);
  std::string out;
  out.reserve(size + 65536);
  while (out.size() < size) {
    switch (random() % 4) {
      case 0:
        append_text(out, random, 2000 + random() % 6000);
        break;
      case 1:
        append_records(out, random, 1000 + random() % 4000);
        break;
      case 2:
        out.append(1000 + random() % 20000, static_cast<char>(random()));
        break;
      default:
        append_noise(out, random, 4096 + random() % 32768);
        break;
    }
  }
  out.resize(size);
  return out;
}

std::string compress_frame(const std::string& data, int level) {
  ZSTD_CCtx* context = ZSTD_createCCtx();
  ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, level);
  ZSTD_CCtx_setParameter(context, ZSTD_c_nbWorkers,
                         static_cast<int>(std::thread::hardware_concurrency()));
  std::string frame(ZSTD_compressBound(data.size()), '\0');
  size_t size = ZSTD_compress2(context, frame.data(), frame.size(), data.data(), data.size());
  ZSTD_freeCCtx(context);
  if (ZSTD_isError(size)) {
    fprintf(stderr, "bench_payload: compression failed: %s\n", ZSTD_getErrorName(size));
    exit(1);
  }
  frame.resize(size);
  return frame;
}

std::string payload_block(const std::string& frame) {
  std::string block = "QVJ" + frame;
  block.append((16 - block.size() % 16) % 16, '\0');
  uint64_t before = block.size();
  for (int k = 0; k < 8; ++k) block += static_cast<char>(before >> (8 * k));
  return block;
}
