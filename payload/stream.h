#pragma once
// The single reader over the attached payload's zstd frame, handing out exact counts.
#include <zstd.h>

#include <cstdint>

struct PayloadStream {
  ZSTD_outBuffer output;  // the 128 KiB window; size/pos describe its unread bytes
  ZSTD_inBuffer input;    // the frame and everything after it in the block
  ZSTD_DCtx* decoder;
  uint64_t length;                // the whole block's length
  const unsigned char* cursor;    // the block's first byte until the magic is checked
};

extern PayloadStream payload_stream;

// Points the stream at a block; the launcher passes its build-time constants.
void payload_attach(const unsigned char* block, uint64_t length);
void payload_open();
// Copies exactly count bytes of the archive to destination or ends the process.
void payload_read(void* destination, uint64_t count);
void payload_close();
