#pragma once
#include <cstdint>
#include <filesystem>
#include <vector>

#include "pack/app_files.h"
#include "pack/progress.h"
#include "pack/zstd_sink.h"

namespace pack {

struct BlockSizes {
  uint64_t archive = 0;  // uncompressed archive bytes
  uint64_t block = 0;    // whole block: magic, frame, fill, trailer
};

// Writes the attached payload to path: "QVJ", one zstd frame holding the archive of
// entries, zero fill up to a multiple of 16, and the 8-byte trailer holding the number
// of bytes in front of it.
BlockSizes write_payload_block(const std::vector<AppFile>& entries,
                               const CompressionSettings& settings,
                               const std::filesystem::path& path, Progress& progress);

}  // namespace pack
