#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "pack/image/pe_headers.h"

namespace pack {

// What a launcher made by this tool records about itself.
struct LauncherFacts {
  std::u16string spec;
  std::u16string version;
  uint64_t payload_offset = 0;  // in the file
  uint64_t payload_length = 0;
  PeHeaders headers;           // with the file's size and the image's subsystem
  uint64_t record_offset = 0;  // the constants record in the file
  // Its bytes, sizeof(ConstantsRecord) of them; fields an older one lacks read as 0.
  std::vector<unsigned char> record;
  // 0: made before the reuse fields, which read as crc; 1: before the options, all off.
  uint32_t record_layout = 0;
  uint32_t reuse_rule = 0;
  // Days after which other builds are removed; prune_never for launchers made before.
  uint32_t prune_after_days = 0xFFFFFFFF;
  uint64_t stamp = 0;
  uint32_t options = 0;    // 0 in a record made before the options
  uint32_t index_rva = 0;  // 0 and 0: no entry index
  uint32_t index_length = 0;
  uint64_t index_offset = 0;  // in the file
};

// Reads a launcher's constants record through its PE headers. Throws PackError naming
// the file when it is not a launcher this tool made.
LauncherFacts read_launcher(const std::filesystem::path& path);

// Whether the file is a launcher this tool made; false for anything else.
bool is_our_launcher(const std::filesystem::path& path);

}  // namespace pack
