#pragma once
// CRC-32 by carry-less multiplication (PCLMULQDQ), where the processor has it.
#include <cstdint>

uint32_t crc32_update_clmul(uint32_t crc, const void* data, uint64_t length);
bool crc32_clmul_available();
