#include "payload/decode_ahead.h"

#include <cstdlib>

#include "payload/decode_ahead_state.h"
#include "payload/stream.h"

namespace {

// Waits for a free window; false when the reader is stopping the decoder.
bool wait_for_free_window(DecodeAhead& ahead) {
  AcquireSRWLockExclusive(&ahead.lock);
  while (ahead.filled - ahead.returned == decode_window_count && !ahead.stopping) {
    SleepConditionVariableSRW(&ahead.changed, &ahead.lock, INFINITE, 0);
  }
  bool go_on = !ahead.stopping;
  ReleaseSRWLockExclusive(&ahead.lock);
  return go_on;
}

void publish(DecodeAhead& ahead, DecodeEnding end) {
  AcquireSRWLockExclusive(&ahead.lock);
  if (end == DecodeEnding::none) {
    ++ahead.filled;
  } else {
    ahead.ending = end;
  }
  ReleaseSRWLockExclusive(&ahead.lock);
  WakeAllConditionVariable(&ahead.changed);
}

DWORD WINAPI decode_windows(void* context) {
  DecodeAhead& ahead = *static_cast<DecodeAhead*>(context);
  PayloadStream& stream = *ahead.stream;
  // A decoder whose last call filled the window may hold more even with no input left.
  bool filled = false;
  for (;;) {
    if (stream.input.pos == stream.input.size && !filled) {
      publish(ahead, DecodeEnding::input_used_up);
      return 0;
    }
    if (!wait_for_free_window(ahead)) return 0;
    DecodedWindow& window = ahead.windows[ahead.filled % decode_window_count];
    bool frame_ended = false;
    long long produced = payload_decode_window(stream, window.bytes, &filled, &frame_ended);
    if (produced < 0) {
      publish(ahead, DecodeEnding::undecodable);
      return 0;
    }
    window.size = static_cast<size_t>(produced);
    window.ends_frame = frame_ended;
    publish(ahead, DecodeEnding::none);
  }
}

}  // namespace

bool decode_ahead_start(DecodeAhead& ahead, PayloadStream& stream) {
  ahead = DecodeAhead{};
  InitializeSRWLock(&ahead.lock);
  InitializeConditionVariable(&ahead.changed);
  ahead.stream = &stream;
  ahead.memory = static_cast<unsigned char*>(malloc(decode_window_count * payload_window_size));
  if (ahead.memory == nullptr) return false;
  for (uint64_t i = 0; i < decode_window_count; ++i) {
    ahead.windows[i] = DecodedWindow{ahead.memory + i * payload_window_size, 0, false};
  }
  ahead.thread = CreateThread(nullptr, 0, decode_windows, &ahead, 0, nullptr);
  return ahead.thread != nullptr;
}

bool decode_ahead_next_window(DecodeAhead& ahead) {
  AcquireSRWLockExclusive(&ahead.lock);
  if (ahead.reading) {
    ++ahead.returned;
    ahead.reading = false;
    WakeAllConditionVariable(&ahead.changed);
  }
  while (ahead.returned == ahead.filled && ahead.ending == DecodeEnding::none) {
    SleepConditionVariableSRW(&ahead.changed, &ahead.lock, INFINITE, 0);
  }
  bool have_window = ahead.returned < ahead.filled;
  if (have_window) {
    const DecodedWindow& window = ahead.windows[ahead.returned % decode_window_count];
    ahead.stream->output = ZSTD_outBuffer{window.bytes, window.size, 0};
    ahead.reading = true;
  }
  ReleaseSRWLockExclusive(&ahead.lock);
  return have_window;
}

bool decode_ahead_window_ends_frame(const DecodeAhead& ahead) {
  // The window being read is the reader's alone until it is handed back.
  return ahead.reading && ahead.windows[ahead.returned % decode_window_count].ends_frame;
}

void decode_ahead_stop(DecodeAhead& ahead) {
  if (ahead.thread != nullptr) {
    AcquireSRWLockExclusive(&ahead.lock);
    ahead.stopping = true;
    ReleaseSRWLockExclusive(&ahead.lock);
    WakeAllConditionVariable(&ahead.changed);
    WaitForSingleObject(ahead.thread, INFINITE);
    CloseHandle(ahead.thread);
    ahead.thread = nullptr;
  }
  free(ahead.memory);
  ahead.memory = nullptr;
}
