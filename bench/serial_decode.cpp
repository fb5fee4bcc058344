// The host benchmarks' stand-in for the launcher's decoder thread: the same windows,
// decoded on demand in the reading thread, so that their figures count decoding.
#include <cstdlib>

#include "payload/decode_ahead.h"
#include "payload/stream.h"

namespace {

unsigned char* window_bytes = nullptr;
bool filled = false;
bool frame_ended = false;

}  // namespace

void decode_ahead_start() {
  window_bytes = static_cast<unsigned char*>(malloc(payload_window_size));
  if (window_bytes == nullptr) abort();
  filled = frame_ended = false;
}

bool decode_ahead_next_window() {
  const ZSTD_inBuffer& input = payload_stream.input;
  if (input.pos == input.size && !filled) return false;
  long long produced = payload_decode_window(window_bytes, &filled, &frame_ended);
  if (produced < 0) payload_fail_decode();
  payload_stream.output = ZSTD_outBuffer{window_bytes, static_cast<size_t>(produced), 0};
  return true;
}

bool decode_ahead_window_ends_frame() { return frame_ended; }

void decode_ahead_stop() {
  free(window_bytes);
  window_bytes = nullptr;
}
