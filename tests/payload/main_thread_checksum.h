#pragma once
// The file checksum as the unpack's main thread takes it: its 256 KiB buffer and a fresh
// retry budget per file.
#include <cstdint>

#include "payload/file_checksum.h"
#include "payload/held_file.h"

inline uint32_t crc32_of_file(const wchar_t* path) {
  static unsigned char buffer[256 * 1024];
  int waits_left = held_file_retries;
  return crc32_of_file(path, ChecksumScratch{buffer, sizeof buffer, &waits_left});
}
