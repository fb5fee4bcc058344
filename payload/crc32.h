#pragma once
// CRC-32 (the ISO-HDLC polynomial, as zlib, gzip and PNG use it).
#include <cstdint>

// CRC-32 of one whole block; a null pointer gives 0.
uint32_t crc32_buffer(const void* data, uint64_t length);
// The CRC-32 of a block that follows one whose CRC-32 was crc (0 to start).
uint32_t crc32_update(uint32_t crc, const void* data, uint64_t length);

// The two ways of computing it, for tests and benchmarks: byte tables everywhere, and
// carry-less multiplication where the processor has it (crc32_clmul_available).
uint32_t crc32_update_table(uint32_t crc, const void* data, uint64_t length);
uint32_t crc32_update_clmul(uint32_t crc, const void* data, uint64_t length);
bool crc32_clmul_available();
