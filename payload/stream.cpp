#include "payload/stream.h"

#include <cstring>

#include "payload/decode_ahead.h"

namespace {

constexpr uint64_t magic_size = 3;

// The unread bytes of the current window, the next window first when it is used up; 0
// when the archive ended too early or cannot be decoded.
size_t available_bytes(PayloadStream& stream) {
  ZSTD_outBuffer& window = stream.output;
  while (!stream.damaged && window.pos == window.size) {
    stream.passed += window.size;
    if (!decode_ahead_next_window(*stream.ahead)) stream.damaged = true;
  }
  return stream.damaged ? 0 : window.size - window.pos;
}

}  // namespace

long long payload_decode_window(PayloadStream& stream, unsigned char* window, bool* filled,
                                bool* frame_ended) {
  ZSTD_outBuffer output{window, payload_window_size, 0};
  size_t result = ZSTD_decompressStream(stream.decoder, &output, &stream.input);
  if (ZSTD_isError(result)) return -1;
  *filled = output.pos == payload_window_size;
  // 0: the frame is complete and flushed; a call never reads on into the next frame.
  *frame_ended = result == 0;
  return static_cast<long long>(output.pos);
}

void payload_attach(PayloadStream& stream, const unsigned char* block, uint64_t length) {
  stream = PayloadStream{};
  stream.cursor = block;
  stream.length = length;
}

bool payload_open(PayloadStream& stream, DecodeAhead& ahead) {
  stream.output = ZSTD_outBuffer{nullptr, 0, 0};
  stream.damaged = false;
  stream.decoder = ZSTD_createDCtx();
  if (stream.decoder == nullptr) return false;
  stream.input = ZSTD_inBuffer{stream.cursor, stream.length - magic_size, 0};
  stream.ahead = &ahead;
  return decode_ahead_start(ahead, stream);
}

size_t payload_take(PayloadStream& stream, const unsigned char** bytes, uint64_t count) {
  size_t n = available_bytes(stream);
  if (n > count) n = static_cast<size_t>(count);
  ZSTD_outBuffer& window = stream.output;
  *bytes = static_cast<const unsigned char*>(window.dst) + window.pos;
  window.pos += n;
  return n;
}

bool payload_read(PayloadStream& stream, void* destination, uint64_t count) {
  unsigned char* out = static_cast<unsigned char*>(destination);
  while (count > 0) {
    const unsigned char* bytes;
    size_t n = payload_take(stream, &bytes, count);
    if (n == 0) return false;
    memcpy(out, bytes, n);
    out += n;
    count -= n;
  }
  return true;
}

bool payload_read_to_frame_end(PayloadStream& stream) {
  ZSTD_outBuffer& window = stream.output;
  // Content after the terminator, or a frame that ends nowhere: the archive is not what
  // its writer made.
  while (!stream.damaged && window.pos == window.size) {
    if (decode_ahead_window_ends_frame(*stream.ahead)) return true;
    if (!decode_ahead_next_window(*stream.ahead)) break;
  }
  stream.damaged = true;
  return false;
}

uint64_t payload_content_size(const PayloadStream& stream) {
  unsigned long long size = ZSTD_getFrameContentSize(stream.input.src, stream.input.size);
  return size == ZSTD_CONTENTSIZE_UNKNOWN || size == ZSTD_CONTENTSIZE_ERROR ? 0 : size;
}

void payload_close(PayloadStream& stream) {
  if (stream.ahead != nullptr) decode_ahead_stop(*stream.ahead);
  ZSTD_freeDCtx(stream.decoder);
  stream.decoder = nullptr;
  stream.ahead = nullptr;
  stream.output = ZSTD_outBuffer{nullptr, 0, 0};
}
