#pragma once
// Zstandard frames and payload blocks put together by the tests, so that they decide
// where blocks end, what follows a frame and where the damage is.
#include <cstddef>
#include <cstdint>
#include <string>

// One frame of raw blocks (at most 128 KiB each) with a 128 KiB window.
std::string raw_frame(const std::string& content);
// A raw frame with a window descriptor of its own, for windows past the decoder's limit.
std::string raw_frame_with_window(const std::string& content, unsigned char window_descriptor);
std::string skippable_frame(const std::string& content);
std::string compressed_frame(const std::string& content, int level = 3, bool checksum = false);

// "QVJ", the frames, zero fill and the trailer holding the number of bytes before it.
std::string payload_block(const std::string& frames, size_t zero_fill = 5);

// Deterministic bytes that compress somewhat: text-like runs mixed with noise.
std::string sample_bytes(size_t size, uint32_t seed = 1);

// Offset of the first block header in a frame built by raw_frame.
constexpr size_t raw_frame_header_size = 6;
