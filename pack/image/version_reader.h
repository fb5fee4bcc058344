#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "pack/image/version_resource.h"

namespace pack {

// What a program's own version resource says, as far as it says it.
struct ProgramVersion {
  std::optional<FixedVersionInfo> fixed;  // when it has valid fixed information
  bool fixed_unusable = false;            // fixed information there, but not valid
  // One string table: the first that its translation list names, else its first.
  uint16_t language = 0;
  uint16_t code_page = 1200;
  VersionStrings strings;  // empty when it has no table
};

// Takes a VS_VERSIONINFO resource apart. Throws PackError saying what is malformed.
ProgramVersion parse_program_version(const std::vector<unsigned char>& data);

}  // namespace pack
