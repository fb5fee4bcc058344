#pragma once
#include <filesystem>
#include <optional>
#include <string>

#include "pack/image/version_number.h"

namespace pack {

// What a program's own version resource says, as far as it says it.
struct ProgramVersion {
  std::optional<VersionNumber> version;  // the fixed file information's file version
  std::u16string product_name;           // ProductName of the first string table
};

// Reads the version resource of a PE program (32- or 64-bit); nothing when it has none
// or it cannot be read.
std::optional<ProgramVersion> read_program_version(const std::filesystem::path& path);

}  // namespace pack
