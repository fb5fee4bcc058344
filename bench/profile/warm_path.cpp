// The launcher's warm start on the host, for profiling (callgrind) and timing: decodes
// the attached payload of a packed launcher with the launcher's own stream reader and,
// for every entry, takes the CRC-32 of the file already in TARGET_DIR with the launcher's
// crc32_buffer over a read-only mapping; kept entries' data is taken and dropped in
// 32 KiB pieces, as the launcher does. Nothing is written.
//   bench_warm_path LAUNCHER.exe TARGET_DIR
// prints one line: entries, kept, archive bytes, checksum time, decode time, total.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/serial_decode.h"
#include "payload/crc32.h"
#include "payload/stream.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t copy_size = 32768;

double milliseconds(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

std::vector<unsigned char> read_whole(const char* path) {
  std::vector<unsigned char> data;
  FILE* f = fopen(path, "rb");
  if (!f) return data;
  unsigned char buffer[1 << 16];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0) data.insert(data.end(), buffer, buffer + n);
  fclose(f);
  return data;
}

// The payload block: the magic followed by a zstd frame's magic number.
long find_block(const std::vector<unsigned char>& image) {
  static const unsigned char signature[] = {'Q', 'V', 'J', 0x28, 0xB5, 0x2F, 0xFD};
  for (size_t i = 0; i + sizeof(signature) <= image.size(); ++i) {
    if (memcmp(&image[i], signature, sizeof(signature)) == 0) return static_cast<long>(i);
  }
  return -1;
}

// As crc32_of_file: 0 for an unusable (or empty) file, 1 for a CRC-32 of 0.
uint32_t crc32_of_host_file(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return 0;
  struct stat info;
  uint32_t crc = 0;
  if (fstat(fd, &info) == 0 && info.st_size > 0) {
    void* view = mmap(nullptr, info.st_size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (view != MAP_FAILED) {
      crc = crc32_buffer(view, info.st_size);
      if (crc == 0) crc = 1;
      munmap(view, info.st_size);
    }
  }
  close(fd);
  return crc;
}

PayloadStream stream;
DecodeAhead ahead;

template <typename T>
T read_value(Clock::duration& decode) {
  auto start = Clock::now();
  T value;
  if (!payload_read(stream, &value, sizeof(value))) abort();
  decode += Clock::now() - start;
  return value;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fputs("usage: bench_warm_path LAUNCHER.exe TARGET_DIR\n", stderr);
    return 2;
  }
  std::vector<unsigned char> image = read_whole(argv[1]);
  long block = find_block(image);
  if (block < 0) {
    fprintf(stderr, "bench_warm_path: no payload block in %s\n", argv[1]);
    return 2;
  }
  static unsigned char copy_buffer[copy_size];
  Clock::duration decode{}, checksum{};
  auto start = Clock::now();
  // The stream reader starts past the magic, which the launcher's header check skips.
  payload_attach(stream, &image[block + 3], image.size() - block);
  if (!payload_open(stream, ahead)) abort();
  unsigned long entries = 0, kept = 0;
  uint64_t archive_bytes = 0;
  for (;;) {
    std::string name;
    for (uint16_t unit; (unit = read_value<uint16_t>(decode)) != 0;) {
      name += unit == '\\' ? '/' : static_cast<char>(unit);  // corpus names are ASCII
    }
    if (name.empty()) break;
    uint64_t size = read_value<uint64_t>(decode);
    uint32_t stored = read_value<uint32_t>(decode);
    auto crc_start = Clock::now();
    bool keep = crc32_of_host_file(std::string(argv[2]) + "/" + name) == stored;
    checksum += Clock::now() - crc_start;
    ++entries;
    kept += keep;
    archive_bytes += size;
    auto data_start = Clock::now();
    for (uint64_t left = size; left > 0;) {
      uint64_t n = left < copy_size ? left : copy_size;
      if (!payload_read(stream, copy_buffer, n)) abort();
      left -= n;
    }
    decode += Clock::now() - data_start;
  }
  payload_close(stream);
  printf("entries=%lu kept=%lu archive_bytes=%llu checksum_ms=%.1f decode_ms=%.1f total_ms=%.1f\n",
         entries, kept, static_cast<unsigned long long>(archive_bytes), milliseconds(checksum),
         milliseconds(decode), milliseconds(Clock::now() - start));
  return kept == entries ? 0 : 1;
}
