#include "payload/decode_ahead.h"

#include <windows.h>

#include <cstdint>
#include <cstdlib>

#include "launcher/errors.h"
#include "payload/stream.h"

namespace {

// Eight windows (1 MiB) keep the decoder busy across a file's open and close.
constexpr uint64_t window_count = 8;

enum class Ending { none, input_used_up, undecodable };

struct Window {
  unsigned char* bytes;
  size_t size;
  bool ends_frame;
};

Window windows[window_count];
unsigned char* window_memory = nullptr;
SRWLOCK lock = SRWLOCK_INIT;
CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
// Windows filled and windows handed back; the reader holds window `returned` while
// `reading`. An ending applies after the last filled window.
uint64_t filled_count = 0, returned_count = 0;
bool reading = false;
Ending ending = Ending::none;
bool stopping = false;
HANDLE decoder_thread = nullptr;

// Waits for a free window; false when the reader is stopping the decoder.
bool wait_for_free_window() {
  AcquireSRWLockExclusive(&lock);
  while (filled_count - returned_count == window_count && !stopping) {
    SleepConditionVariableSRW(&changed, &lock, INFINITE, 0);
  }
  bool go_on = !stopping;
  ReleaseSRWLockExclusive(&lock);
  return go_on;
}

void publish(Ending end) {
  AcquireSRWLockExclusive(&lock);
  if (end == Ending::none) {
    ++filled_count;
  } else {
    ending = end;
  }
  ReleaseSRWLockExclusive(&lock);
  WakeAllConditionVariable(&changed);
}

DWORD WINAPI decode_windows(void*) {
  // A decoder whose last call filled the window may hold more even with no input left.
  bool filled = false;
  for (;;) {
    const ZSTD_inBuffer& input = payload_stream.input;
    if (input.pos == input.size && !filled) {
      publish(Ending::input_used_up);
      return 0;
    }
    if (!wait_for_free_window()) return 0;
    Window& window = windows[filled_count % window_count];
    bool frame_ended = false;
    long long produced = payload_decode_window(window.bytes, &filled, &frame_ended);
    if (produced < 0) {
      publish(Ending::undecodable);
      return 0;
    }
    window.size = static_cast<size_t>(produced);
    window.ends_frame = frame_ended;
    publish(Ending::none);
  }
}

}  // namespace

void decode_ahead_start() {
  window_memory = static_cast<unsigned char*>(malloc(window_count * payload_window_size));
  if (window_memory == nullptr) fatal_error("Error, couldn't allocate memory.");
  for (uint64_t i = 0; i < window_count; ++i) {
    windows[i] = Window{window_memory + i * payload_window_size, 0, false};
  }
  filled_count = returned_count = 0;
  reading = stopping = false;
  ending = Ending::none;
  decoder_thread = CreateThread(nullptr, 0, decode_windows, nullptr, 0, nullptr);
  if (decoder_thread == nullptr) fatal_error("Error, couldn't allocate memory.");
}

bool decode_ahead_next_window() {
  AcquireSRWLockExclusive(&lock);
  if (reading) {
    ++returned_count;
    reading = false;
    WakeAllConditionVariable(&changed);
  }
  while (returned_count == filled_count && ending == Ending::none) {
    SleepConditionVariableSRW(&changed, &lock, INFINITE, 0);
  }
  bool have_window = returned_count < filled_count;
  Ending end = ending;
  if (have_window) {
    const Window& window = windows[returned_count % window_count];
    payload_stream.output = ZSTD_outBuffer{window.bytes, window.size, 0};
    reading = true;
  }
  ReleaseSRWLockExclusive(&lock);
  if (!have_window && end == Ending::undecodable) payload_fail_decode();
  return have_window;
}

bool decode_ahead_window_ends_frame() {
  // The window being read is the reader's alone until it is handed back.
  return reading && windows[returned_count % window_count].ends_frame;
}

void decode_ahead_stop() {
  if (decoder_thread == nullptr) return;
  AcquireSRWLockExclusive(&lock);
  stopping = true;
  ReleaseSRWLockExclusive(&lock);
  WakeAllConditionVariable(&changed);
  WaitForSingleObject(decoder_thread, INFINITE);
  CloseHandle(decoder_thread);
  decoder_thread = nullptr;
  free(window_memory);
  window_memory = nullptr;
}
