#pragma once
// The decoder runs ahead of the reader, a fixed number of windows at most, so that
// decoding overlaps checking and writing files.

// Allocates the windows once and starts decoding payload_stream.input.
void decode_ahead_start();
// Hands back the window being read and puts the next one in payload_stream.output; false
// when the input ended before. Ends the process at data that cannot be decoded, once
// every window before it has been read.
bool decode_ahead_next_window();
// Whether a frame ended with the window being read.
bool decode_ahead_window_ends_frame();
// Stops the decoder and frees the windows.
void decode_ahead_stop();
