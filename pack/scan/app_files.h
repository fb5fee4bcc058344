#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "payload/entry_name_rule.h"

namespace pack {

// One file of the packaged application.
struct AppFile {
  std::u16string name;           // relative to the app folder, "\" between folders
  std::filesystem::path source;  // where the bytes are read from
  uint64_t size = 0;
};

// Longest name the launcher's entry name buffer holds.
constexpr size_t max_entry_name_units = entry_name_max_units;

// Told the number of files found so far, after each one.
using ScanProgress = std::function<void(size_t files)>;

// Every regular file below app_dir, following symbolic links, in no particular order.
// Throws PackError naming the file for anything that cannot be packed.
std::vector<AppFile> scan_app_dir(const std::filesystem::path& app_dir,
                                  const ScanProgress& progress = {});

}  // namespace pack
