#pragma once
// The single reader over the attached payload's zstd frame, handing out exact counts.
#include <zstd.h>

#include <cstddef>
#include <cstdint>

struct PayloadStream {
  ZSTD_outBuffer output;  // the window being read; size/pos describe its unread bytes
  ZSTD_inBuffer input;    // the frame and everything after it in the block
  ZSTD_DCtx* decoder;
  uint64_t length;              // the whole block's length
  const unsigned char* cursor;  // the block's first byte until the magic is checked
};

extern PayloadStream payload_stream;

constexpr size_t payload_window_size = 0x20000;

// Points the stream at a block; the launcher passes its build-time constants.
void payload_attach(const unsigned char* block, uint64_t length);
void payload_open();
// Copies exactly count bytes of the archive to destination or ends the process.
void payload_read(void* destination, uint64_t count);
// The next at most count (> 0) bytes of the archive where they lie, valid until the next
// read or take; at least one byte, or the process ends.
size_t payload_take(const unsigned char** bytes, uint64_t count);
// After the archive's terminator: decodes the rest of the frame, which holds no more
// content, to its end, where the decoder checks the frame's content checksum when it
// has one; ends the process with the decode message otherwise.
void payload_read_to_frame_end();
void payload_close();

// One decoder call into an empty window of payload_window_size bytes: the bytes it
// produced, or -1 when the data cannot be decoded. *filled tells whether the decoder
// may hold more even with all input consumed, *frame_ended whether a frame ended with
// these bytes (checksum checked).
long long payload_decode_window(unsigned char* window, bool* filled, bool* frame_ended);
[[noreturn]] void payload_fail_decode();
