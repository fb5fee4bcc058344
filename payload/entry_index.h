#pragma once
// The index of the archive's entries (payload/entry_index_layout.h) as a start under the
// stamp rule reads it: used only when its own checksum matches and its counts hold within
// its length; then every entry the start decodes must be the index's entry at the same
// position.
#include <cstdint>

struct EntryIndex {
  uint32_t entry_count;  // 0 while no index is in use
  const unsigned char* entries;
  const unsigned char* listing;
  const wchar_t* names;
};

// Why an index is or is not in use.
enum class IndexVerdict { none, used, checksum_differs, outside_its_length };

// Takes the index (nullptr: none) of length bytes into use when it holds together.
IndexVerdict read_entry_index(EntryIndex& index, const unsigned char* bytes, uint32_t length);

// The entry's size, stored checksum and name, and the entry at a position of the listing.
uint64_t indexed_entry_size(const EntryIndex& index, uint32_t entry);
uint32_t indexed_entry_checksum(const EntryIndex& index, uint32_t entry);
const wchar_t* indexed_entry_name(const EntryIndex& index, uint32_t entry);
uint32_t indexed_listing_entry(const EntryIndex& index, uint32_t position);

// Whether a decoded entry is the one the index holds at its position: true without an index.
bool index_agrees(const EntryIndex& index, uint64_t entry, const wchar_t* name, uint64_t size,
                  uint32_t stored_checksum);
// Whether the archive's entry count is the index's: true without an index.
bool index_count_agrees(const EntryIndex& index, uint64_t count);
