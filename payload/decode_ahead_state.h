#pragma once
// What the decoder thread and the reader share. Windows filled and windows handed back
// are counted; the reader holds window `returned` while `reading`. An ending applies after
// the last filled window. One lock guards the counts and the ending.
#include <windows.h>

#include <cstddef>
#include <cstdint>

struct PayloadStream;

// Eight windows (1 MiB) keep the decoder busy across a file's open and close.
constexpr uint64_t decode_window_count = 8;

enum class DecodeEnding { none, input_used_up, undecodable };

struct DecodedWindow {
  unsigned char* bytes;
  size_t size;
  bool ends_frame;
};

struct DecodeAhead {
  DecodedWindow windows[decode_window_count];
  unsigned char* memory;
  PayloadStream* stream;
  SRWLOCK lock;
  CONDITION_VARIABLE changed;
  uint64_t filled;
  uint64_t returned;
  bool reading;
  bool stopping;
  DecodeEnding ending;
  HANDLE thread;
};
