#pragma once
// The decoder runs ahead of the reader, a fixed number of windows at most, so that
// decoding overlaps checking and writing files. What it keeps is in
// payload/decode_ahead_state.h, apart, so that the stream reader builds on any system.

struct DecodeAhead;
struct PayloadStream;

// Allocates the windows once and starts decoding stream.input; false when memory or the
// thread is lacking.
bool decode_ahead_start(DecodeAhead& ahead, PayloadStream& stream);
// Hands back the window being read and puts the next one in stream.output; false when the
// input ended before, or once every window before undecodable data has been read.
bool decode_ahead_next_window(DecodeAhead& ahead);
// Whether a frame ended with the window being read.
bool decode_ahead_window_ends_frame(const DecodeAhead& ahead);
// Stops the decoder and frees the windows; nothing when it never started.
void decode_ahead_stop(DecodeAhead& ahead);
