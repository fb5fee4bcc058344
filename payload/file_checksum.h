#pragma once
#include <windows.h>

#include <cstdint>

#include "payload/file_decision.h"

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

// Looks at the file on disk and decides (payload/file_decision.h) whether it already holds
// the entry of that size and stored checksum. A file of another size is out of date without
// a byte of it read; what is not current is to be written or repaired.
// With restamp, a file found current by its CRC-32 is given restamp's time as well, through
// the handle that read it, and done tells so.
struct Restamp {
  FILETIME time;
  uint32_t checksum;
  bool done;
};
FileDecision check_file(ReuseRule rule, const wchar_t* path, uint64_t size,
                        uint32_t stored_checksum, const ChecksumScratch& scratch,
                        Restamp* restamp = nullptr);
