#pragma once
// CRC-32 (the ISO-HDLC polynomial, as zlib, gzip and PNG use it).
#include <cstdint>

// CRC-32 of one whole block; a null pointer gives 0.
uint32_t crc32_buffer(const void* data, uint64_t length);
