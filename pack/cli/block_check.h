#pragma once
#include <cstdint>
#include <filesystem>
#include <string>

namespace pack {

// Decodes a ready-made payload block once, as the launcher would, and checks every
// entry name by the rules of a scanned folder, every CRC-32, and that the first entry
// is a Windows program. Returns the first
// entry's name (the main executable; empty for an empty archive); throws PackError naming the block
// and the fault.
// show_status: a status line once it takes over a second.
std::u16string checked_block_main(const std::filesystem::path& block, uint64_t size,
                                  bool show_status);

}  // namespace pack
