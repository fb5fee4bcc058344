#pragma once
// The single reader over the attached payload's zstd frame, handing out exact counts. Every
// read says whether it got its bytes: once the data turns out undecodable or cut short,
// the stream is damaged and every later read fails too.
#include <zstd.h>

#include <cstddef>
#include <cstdint>

// Decodes windows ahead of the reader (payload/decode_ahead.h).
struct DecodeAhead;

struct PayloadStream {
  ZSTD_outBuffer output;  // the window being read; size/pos describe its unread bytes
  ZSTD_inBuffer input;    // the frame and everything after it in the block
  ZSTD_DCtx* decoder;
  DecodeAhead* ahead;
  uint64_t length;              // the whole block's length
  const unsigned char* cursor;  // the block's first byte until the magic is checked
  uint64_t passed;              // the archive's bytes in windows already read
  bool damaged;
};

constexpr size_t payload_window_size = 0x20000;

// Points the stream at a block; the launcher passes its build-time constants.
void payload_attach(PayloadStream& stream, const unsigned char* block, uint64_t length);
// Creates the decoder and starts decoding ahead; false when memory or a thread is lacking.
bool payload_open(PayloadStream& stream, DecodeAhead& ahead);
// Copies exactly count bytes of the archive to destination; false when it cannot.
bool payload_read(PayloadStream& stream, void* destination, uint64_t count);
// The next at most count (> 0) bytes of the archive where they lie, valid until the next
// read or take; 0 when there are none.
size_t payload_take(PayloadStream& stream, const unsigned char** bytes, uint64_t count);
// After the archive's terminator: decodes the rest of the frame, which holds no more
// content, to its end, where the decoder checks the frame's content checksum when it
// has one. False for content after the terminator, a frame cut short or a bad checksum.
bool payload_read_to_frame_end(PayloadStream& stream);
void payload_close(PayloadStream& stream);

// How far the reader is into the archive, in bytes.
inline uint64_t payload_position(const PayloadStream& stream) {
  return stream.passed + stream.output.pos;
}
// The archive's size as the frame's header tells it, once open; 0 when it does not.
uint64_t payload_content_size(const PayloadStream& stream);

// One decoder call into an empty window of payload_window_size bytes: the bytes it
// produced, or -1 when the data cannot be decoded. *filled tells whether the decoder
// may hold more even with all input consumed, *frame_ended whether a frame ended with
// these bytes (checksum checked).
long long payload_decode_window(PayloadStream& stream, unsigned char* window, bool* filled,
                                bool* frame_ended);
