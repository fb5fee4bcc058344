#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>

#include "pack/image/image_digest.h"

#include "pack/inspect/launcher_file.h"

namespace pack {

// What the image says of itself beyond the payload.
struct ImageFacts {
  bool is_signed = false;
  uint64_t certificate_bytes = 0;
  std::optional<ImageDigests> digests;  // none in a launcher of a tool before them
};

// Checks a launcher's image as the pack tool wrote it: its sections in order, the
// resource section's directory and resources, the constants record, and nothing after
// the last section but a certificate table a signing tool appended; reads the digests'
// record. Throws PackError naming the first fault.
ImageFacts check_launcher_image(const std::filesystem::path& path, const LauncherFacts& facts);

// Sums the whole file as the PE checksum does and compares the header's field, then
// its digests with those recorded, where there are any. Throws PackError when they
// differ, saying where the file first differs from this tool's launcher code when it
// can tell.
// The record's count of entries, when it tells one, is the archive's.
void check_entry_count(const LauncherFacts& facts, uint64_t files);
void check_image_sums(const std::filesystem::path& path, const LauncherFacts& facts,
                      const ImageFacts& image);

}  // namespace pack
