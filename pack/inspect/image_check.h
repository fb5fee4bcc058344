#pragma once
#include <cstdint>
#include <filesystem>

#include "pack/inspect/launcher_file.h"

namespace pack {

// What the image says of itself beyond the payload.
struct ImageFacts {
  bool is_signed = false;
  uint64_t certificate_bytes = 0;
};

// Checks a launcher's image as the pack tool wrote it: its sections in order, the
// resource section's directory and resources, the constants record, and nothing after
// the last section but a certificate table a signing tool appended. Throws PackError
// naming the first fault.
ImageFacts check_launcher_image(const std::filesystem::path& path, const LauncherFacts& facts);

// Sums the whole file as the PE checksum does and compares the header's field. Throws
// PackError when they differ, saying where the file first differs from this tool's
// launcher code when it can tell.
void check_pe_checksum(const std::filesystem::path& path, const LauncherFacts& facts);

}  // namespace pack
