#pragma once
// Inputs for the benchmark, made the same way on every run.
#include <cstddef>
#include <string>

// Random bytes, for the checksum (whose speed does not depend on content).
std::string random_bytes(size_t size);
// Something like an application folder: text, code-like records, runs and noise.
std::string mixed_bytes(size_t size);
// One zstd frame of data at the given level, using every core.
std::string compress_frame(const std::string& data, int level);
// "QVJ", the frame, zero fill to a multiple of 16 and the trailer, as the pack tool writes it.
std::string payload_block(const std::string& frame);
