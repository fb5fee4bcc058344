#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "pack/scan/app_files.h"

namespace pack {

// The entries in archive order: the main executable, the other top-level files, then
// the files in folders, each group sorted by the UTF-16 units of its names.
// main_name is --main (relative to the app folder, "/" or "\" between folders); without
// it the only top-level .exe is the main executable. Throws PackError when it cannot
// be found or chosen, or when two names would be the same file on Windows.
std::vector<AppFile> plan_archive(std::vector<AppFile> files,
                                  const std::optional<std::string>& main_name,
                                  const std::filesystem::path& app_dir);

// Bytes of the uncompressed archive: every entry plus the terminator.
uint64_t archive_size(const std::vector<AppFile>& entries);

}  // namespace pack
