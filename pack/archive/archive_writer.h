#pragma once
#include <cstdint>
#include <vector>

#include "pack/archive/byte_sink.h"
#include "pack/archive/content_id.h"
#include "pack/scan/app_files.h"

namespace pack {

// The checksum stored for an entry. The launcher computes 1 for a non-empty file on disk
// whose CRC-32 is 0, so that value is stored to let such a file be kept; an empty file
// keeps 0.
uint32_t stored_checksum(uint32_t crc, uint64_t size);

// Writes the payload archive: each entry's name, size, checksum and bytes, then the
// empty-name terminator. Files are streamed; a file that changes while it is read
// fails with PackError naming it. Each entry's name, size and checksum go into id: the
// checksums stand for the data. Returns the checksums stored, in archive order.
std::vector<uint32_t> write_archive(const std::vector<AppFile>& entries, ByteSink& sink,
                                    ContentId& id);

}  // namespace pack
