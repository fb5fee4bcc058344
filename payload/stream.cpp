#include "payload/stream.h"

#include <cstdlib>
#include <cstring>

#include "launcher/errors.h"

PayloadStream payload_stream;

namespace {

constexpr size_t window_size = 0x20000;
constexpr uint64_t magic_size = 3;

[[noreturn]] void fail_decode() { fatal_error("Error, couldn't decode attached data."); }

// One decoder call into the emptied window; afterwards the window holds exactly the
// bytes it produced. Returns whether they filled the window.
bool refill_window() {
  ZSTD_outBuffer& output = payload_stream.output;
  output.size = window_size;
  output.pos = 0;
  size_t result = ZSTD_decompressStream(payload_stream.decoder, &output, &payload_stream.input);
  if (ZSTD_isError(result)) fail_decode();
  bool filled = output.pos == window_size;
  output.size = output.pos;
  output.pos = 0;
  return filled;
}

}  // namespace

void payload_attach(const unsigned char* block, uint64_t length) {
  payload_stream.cursor = block;
  payload_stream.length = length;
}

void payload_open() {
  void* window = malloc(window_size);
  if (window == nullptr) fatal_error("Error, couldn't allocate memory.");
  payload_stream.output = ZSTD_outBuffer{window, 0, 0};
  payload_stream.decoder = ZSTD_createDCtx();
  if (payload_stream.decoder == nullptr) fatal_error("Error, couldn't allocate memory.");
  payload_stream.input =
      ZSTD_inBuffer{payload_stream.cursor, payload_stream.length - magic_size, 0};
}

void payload_read(void* destination, uint64_t count) {
  unsigned char* out = static_cast<unsigned char*>(destination);
  ZSTD_outBuffer& window = payload_stream.output;
  const ZSTD_inBuffer& input = payload_stream.input;
  // A decoder whose last call filled the window may hold more even with no input left.
  bool filled = false;
  while (count > 0) {
    size_t available = window.size - window.pos;
    if (available > 0) {
      size_t n = available < count ? available : static_cast<size_t>(count);
      memcpy(out, static_cast<const unsigned char*>(window.dst) + window.pos, n);
      window.pos += n;
      out += n;
      count -= n;
    } else if (input.pos < input.size || filled) {
      filled = refill_window();
    } else {
      // All input consumed and nothing held back: the archive ended too early.
      fail_decode();
    }
  }
}

void payload_close() {
  ZSTD_freeDCtx(payload_stream.decoder);
  payload_stream.decoder = nullptr;
  free(payload_stream.output.dst);
  payload_stream.output = ZSTD_outBuffer{nullptr, 0, 0};
}
