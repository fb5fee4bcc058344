#pragma once
// The index of a payload's entries that a launcher under the stamp rule reads before it
// decodes anything (payload/entry_index_layout.h).
#include <cstdint>
#include <vector>

#include "pack/archive/payload_reader.h"

namespace pack {

// Its size depends on the names alone, so that room is made for it before the entries'
// checksums are known.
uint64_t entry_index_size(const std::vector<EntryHeader>& entries);

// The index of entries, given in archive order.
std::vector<unsigned char> entry_index(const std::vector<EntryHeader>& entries);

// The entries of an index, in archive order. Throws PackError saying what is not as
// entry_index writes it: counts, names, or a listing that is not every entry once, each
// folder's together and sorted as the launcher searches it.
std::vector<EntryHeader> read_entry_index(const unsigned char* data, size_t size);

}  // namespace pack
