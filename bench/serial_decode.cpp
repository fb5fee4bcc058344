// The host benchmarks' stand-in for the launcher's decoder thread: the same windows,
// decoded on demand in the reading thread, so that their figures count decoding.
#include "bench/serial_decode.h"

#include <cstdlib>

#include "payload/decode_ahead.h"
#include "payload/stream.h"

bool decode_ahead_start(DecodeAhead& ahead, PayloadStream& stream) {
  ahead = DecodeAhead{};
  ahead.stream = &stream;
  ahead.window = static_cast<unsigned char*>(malloc(payload_window_size));
  return ahead.window != nullptr;
}

bool decode_ahead_next_window(DecodeAhead& ahead) {
  PayloadStream& stream = *ahead.stream;
  if (stream.input.pos == stream.input.size && !ahead.filled) return false;
  long long produced =
      payload_decode_window(stream, ahead.window, &ahead.filled, &ahead.frame_ended);
  if (produced < 0) return false;
  stream.output = ZSTD_outBuffer{ahead.window, static_cast<size_t>(produced), 0};
  return true;
}

bool decode_ahead_window_ends_frame(const DecodeAhead& ahead) { return ahead.frame_ended; }

void decode_ahead_stop(DecodeAhead& ahead) {
  free(ahead.window);
  ahead.window = nullptr;
}
