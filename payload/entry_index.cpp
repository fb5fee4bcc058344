#include "payload/entry_index.h"

#include <cstring>
#include <cwchar>

#include "payload/crc32.h"
#include "payload/entry_index_layout.h"

namespace {

// The index is little-endian, as is every system the launcher runs on.
uint32_t read_u32(const unsigned char* at) {
  uint32_t value;
  memcpy(&value, at, sizeof value);
  return value;
}

uint64_t read_u64(const unsigned char* at) {
  uint64_t value;
  memcpy(&value, at, sizeof value);
  return value;
}

const unsigned char* entry_at(const EntryIndex& index, uint32_t entry) {
  return index.entries + entry * index_entry_size;
}

uint32_t update_crc(uint32_t crc, const void* data, uint64_t length) {
  return crc32_update(crc, data, length);
}

// Every count and position lies within it, every name ends within it.
bool holds_within(const unsigned char* bytes, uint32_t length) {
  uint32_t count = read_u32(bytes);
  uint32_t units = read_u32(bytes + 4);
  if (count == 0 || units == 0 || index_length(count, units) > length) return false;
  const unsigned char* name_bytes = bytes + index_names_at(count);
  if (reinterpret_cast<uintptr_t>(name_bytes) % alignof(wchar_t) != 0) return false;
  if (reinterpret_cast<const wchar_t*>(name_bytes)[units - 1] != 0) return false;
  const unsigned char* entry_bytes = bytes + index_header_size;
  const unsigned char* listing_bytes = bytes + index_listing_at(count);
  for (uint32_t i = 0; i < count; ++i) {
    if (read_u32(entry_bytes + i * index_entry_size + index_name_offset) >= units) return false;
    if (read_u32(listing_bytes + i * index_listing_item_size) >= count) return false;
  }
  return true;
}

}  // namespace

// Otherwise the index is not used, and every start takes the CRC-32 path.
IndexVerdict read_entry_index(EntryIndex& index, const unsigned char* bytes, uint32_t length) {
  if (bytes == nullptr) return IndexVerdict::none;
  if (length < index_header_size || read_u32(bytes + index_own_checksum_offset) !=
                                        index_own_checksum(bytes, length, update_crc)) {
    return IndexVerdict::checksum_differs;
  }
  if (!holds_within(bytes, length)) return IndexVerdict::outside_its_length;
  uint32_t count = read_u32(bytes);
  index.entries = bytes + index_header_size;
  index.listing = bytes + index_listing_at(count);
  index.names = reinterpret_cast<const wchar_t*>(bytes + index_names_at(count));
  index.entry_count = count;
  return IndexVerdict::used;
}

uint64_t indexed_entry_size(const EntryIndex& index, uint32_t entry) {
  return read_u64(entry_at(index, entry) + index_size_offset);
}

uint32_t indexed_entry_checksum(const EntryIndex& index, uint32_t entry) {
  return read_u32(entry_at(index, entry) + index_checksum_offset);
}

const wchar_t* indexed_entry_name(const EntryIndex& index, uint32_t entry) {
  return index.names + read_u32(entry_at(index, entry) + index_name_offset);
}

uint32_t indexed_listing_entry(const EntryIndex& index, uint32_t position) {
  return read_u32(index.listing + position * index_listing_item_size);
}

bool index_agrees(const EntryIndex& index, uint64_t entry, const wchar_t* name, uint64_t size,
                  uint32_t stored_checksum) {
  if (index.entries == nullptr) return true;
  if (entry >= index.entry_count) return false;
  uint32_t at = static_cast<uint32_t>(entry);
  return indexed_entry_size(index, at) == size &&
         indexed_entry_checksum(index, at) == stored_checksum &&
         wcscmp(indexed_entry_name(index, at), name) == 0;
}

bool index_count_agrees(const EntryIndex& index, uint64_t count) {
  return index.entries == nullptr || count == index.entry_count;
}
