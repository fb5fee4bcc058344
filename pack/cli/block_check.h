#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "pack/archive/payload_reader.h"
#include "pack/image/pe_probe.h"
#include "pack/image/program_identity.h"

namespace pack {

// The block's first entry, the program the launcher starts, and every entry's header.
struct BlockMain {
  std::u16string name;              // empty for an empty archive
  std::optional<ProgramKind> kind;  // its headers, when there is one
  ProgramIdentity identity;
  std::vector<EntryHeader> entries;  // in archive order, when asked for
};

// Decodes a ready-made payload block once, as the launcher would, and checks every
// entry name by the rules of a scanned folder, every CRC-32, and that the first entry
// is a Windows program, whose icon and version resource are read on the way. Throws
// PackError naming the block and the fault.
// keep_entries: the entries' headers are kept, for the launcher's entry index.
// show_status: a status line once it takes over a second.
BlockMain checked_block_main(const std::filesystem::path& block, uint64_t size, bool keep_entries,
                             bool show_status);

}  // namespace pack
