#pragma once
#include <cstdint>

// Where a checksum reads small files into, and the retry budget it spends while another
// process holds the file; each thread that checks files has its own.
struct ChecksumScratch {
  unsigned char* buffer;
  uint64_t capacity;
  int* waits_left;
};

// CRC-32 of a file on disk, read whole when it fits the buffer, else through a read-only
// mapping: 0 when the file cannot be used (missing, unreadable, empty, cut short, not
// mappable), 1 in place of a real CRC-32 of 0.
uint32_t crc32_of_file(const wchar_t* path, const ChecksumScratch& scratch);

// True when the file on disk already holds an entry of that size and stored checksum. A file
// of another size is out of date without a byte of it read.
bool file_is_current(const wchar_t* path, uint64_t size, uint32_t stored_checksum,
                     const ChecksumScratch& scratch);
