#pragma once
#include <cstdint>

// CRC-32 of a file on disk, read whole when small, else through a read-only mapping:
// 0 when the file cannot be used (missing, unreadable, empty, cut short, not mappable),
// 1 in place of a real CRC-32 of 0.
uint32_t crc32_of_file(const wchar_t* path);
