#pragma once
// Builds payload blocks in tests: entries, the archive, one zstd frame, the container.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ArchiveEntry {
  std::wstring name;
  std::string data;
  bool checksum_override = false;
  uint32_t checksum = 0;
};

// The archive bytes with each entry's CRC-32 (or its override) and the terminator.
std::string build_archive(const std::vector<ArchiveEntry>& entries);
// "QVJ", the archive compressed into one frame, zero fill to 16, the trailer.
std::string build_block(const std::string& archive, int level = 3);
// The entry index (payload/entry_index_layout.h) of these entries, as a launcher under the
// stamp rule carries it.
std::string build_index(const std::vector<ArchiveEntry>& entries);
// Bytes that zstd stores as they are (a fixed pseudo-random sequence per seed), so that
// sizes and offsets in the frame follow those of the archive.
std::string noise(size_t size, uint32_t seed);
