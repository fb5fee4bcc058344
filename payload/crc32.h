#pragma once
// CRC-32 (the ISO-HDLC polynomial, as zlib, gzip and PNG use it).
#include <cstdint>

// CRC-32 of one whole block; a null pointer gives 0.
uint32_t crc32_buffer(const void* data, uint64_t length);
// The CRC-32 of a block that follows one whose CRC-32 was crc (0 to start).
uint32_t crc32_update(uint32_t crc, const void* data, uint64_t length);

// By byte tables alone, as every processor can, for tests and benchmarks; carry-less
// multiplication is used instead where the processor has it (payload/crc32_clmul.h).
uint32_t crc32_update_table(uint32_t crc, const void* data, uint64_t length);
