#include "payload/stream.h"

#include <cstdlib>
#include <cstring>

#include "launcher/errors.h"
#include "payload/decode_ahead.h"

PayloadStream payload_stream;

namespace {

constexpr uint64_t magic_size = 3;

// The unread bytes of the current window, the next window first when it is used up.
size_t available_bytes() {
  ZSTD_outBuffer& window = payload_stream.output;
  while (window.pos == window.size) {
    // All input consumed and nothing held back: the archive ended too early.
    if (!decode_ahead_next_window()) payload_fail_decode();
  }
  return window.size - window.pos;
}

}  // namespace

void payload_fail_decode() { fatal_error("Error, couldn't decode attached data."); }

long long payload_decode_window(unsigned char* window, bool* filled, bool* frame_ended) {
  ZSTD_outBuffer output{window, payload_window_size, 0};
  size_t result = ZSTD_decompressStream(payload_stream.decoder, &output, &payload_stream.input);
  if (ZSTD_isError(result)) return -1;
  *filled = output.pos == payload_window_size;
  // 0: the frame is complete and flushed; a call never reads on into the next frame.
  *frame_ended = result == 0;
  return static_cast<long long>(output.pos);
}

void payload_attach(const unsigned char* block, uint64_t length) {
  payload_stream.cursor = block;
  payload_stream.length = length;
}

void payload_open() {
  payload_stream.output = ZSTD_outBuffer{nullptr, 0, 0};
  payload_stream.decoder = ZSTD_createDCtx();
  if (payload_stream.decoder == nullptr) fatal_error("Error, couldn't allocate memory.");
  payload_stream.input =
      ZSTD_inBuffer{payload_stream.cursor, payload_stream.length - magic_size, 0};
  decode_ahead_start();
}

size_t payload_take(const unsigned char** bytes, uint64_t count) {
  size_t n = available_bytes();
  if (n > count) n = static_cast<size_t>(count);
  ZSTD_outBuffer& window = payload_stream.output;
  *bytes = static_cast<const unsigned char*>(window.dst) + window.pos;
  window.pos += n;
  return n;
}

void payload_read(void* destination, uint64_t count) {
  unsigned char* out = static_cast<unsigned char*>(destination);
  while (count > 0) {
    const unsigned char* bytes;
    size_t n = payload_take(&bytes, count);
    memcpy(out, bytes, n);
    out += n;
    count -= n;
  }
}

void payload_read_to_frame_end() {
  ZSTD_outBuffer& window = payload_stream.output;
  for (;;) {
    // Content after the terminator: the archive is not what its writer made.
    if (window.pos != window.size) payload_fail_decode();
    if (decode_ahead_window_ends_frame()) return;
    if (!decode_ahead_next_window()) payload_fail_decode();
  }
}

void payload_close() {
  decode_ahead_stop();
  ZSTD_freeDCtx(payload_stream.decoder);
  payload_stream.decoder = nullptr;
  payload_stream.output = ZSTD_outBuffer{nullptr, 0, 0};
}
