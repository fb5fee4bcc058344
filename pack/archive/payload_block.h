#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "pack/archive/byte_sink.h"
#include "pack/archive/content_id.h"
#include "pack/archive/zstd_sink.h"
#include "pack/cli/progress.h"
#include "pack/scan/app_files.h"

namespace pack {

struct BlockSizes {
  uint64_t archive = 0;             // uncompressed archive bytes
  uint64_t block = 0;               // whole block: magic, frame, fill, trailer
  ContentId content_id;             // names the archive's content
  std::vector<uint32_t> checksums;  // each entry's stored checksum, in archive order
};

// Writes the attached payload to out: "QVJ", one zstd frame holding the archive of
// entries, zero fill up to a multiple of 16, and the 8-byte trailer holding the number
// of bytes in front of it.
BlockSizes write_payload_block(const std::vector<AppFile>& entries,
                               const CompressionSettings& settings, ByteSink& out,
                               Progress& progress);

// The same into a file of its own.
BlockSizes write_payload_block(const std::vector<AppFile>& entries,
                               const CompressionSettings& settings,
                               const std::filesystem::path& path, Progress& progress);

}  // namespace pack
