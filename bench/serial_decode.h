#pragma once
// What the host benchmarks' serial decoder keeps (serial_decode.cpp).
struct PayloadStream;

struct DecodeAhead {
  PayloadStream* stream;
  unsigned char* window;
  bool filled;
  bool frame_ended;
};
