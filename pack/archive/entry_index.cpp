#include "pack/archive/entry_index.h"

#include <algorithm>
#include <numeric>
#include <set>
#include <string_view>

#include <zlib.h>

#include "pack/image/pe_headers.h"
#include "pack/pack_error.h"
#include "payload/entry_index_layout.h"

namespace pack {
namespace {

// The folder part of a name, its last backslash included.
std::u16string_view folder_of(std::u16string_view name) {
  size_t slash = name.rfind(u'\\');
  return slash == std::u16string_view::npos ? std::u16string_view() : name.substr(0, slash + 1);
}

// Each folder's entries together, sorted within the folder as the launcher searches them.
bool lists_before(const EntryHeader& a, const EntryHeader& b) {
  std::u16string_view folder_a = folder_of(a.name), folder_b = folder_of(b.name);
  if (folder_a != folder_b) return folder_a < folder_b;
  return index_name_order(a.name.c_str() + folder_a.size(), b.name.c_str() + folder_b.size()) < 0;
}

uint32_t own_checksum(const unsigned char* index, size_t size) {
  return index_own_checksum(index, size, [](uint32_t crc, const unsigned char* bytes, uint64_t n) {
    return static_cast<uint32_t>(crc32_z(crc, bytes, static_cast<size_t>(n)));
  });
}

struct IndexCounts {
  uint64_t entries = 0;
  uint64_t name_units = 0;
  uint64_t listing_at = 0;
  uint64_t names_at = 0;
  uint64_t size = 0;
};

IndexCounts counts_of(uint64_t entries, uint64_t name_units) {
  IndexCounts counts{entries, name_units};
  counts.listing_at = index_listing_at(entries);
  counts.names_at = index_names_at(entries);
  counts.size = index_length(entries, name_units);
  return counts;
}

IndexCounts counts_of(const std::vector<EntryHeader>& entries) {
  uint64_t units = 0;
  for (const EntryHeader& entry : entries) units += entry.name.size() + 1;
  return counts_of(entries.size(), units);
}

[[noreturn]] void bad_index(const std::string& what) { throw PackError("its entry index " + what); }

void check_listing(const std::vector<EntryHeader>& entries, const std::vector<uint32_t>& listing) {
  std::vector<bool> seen(entries.size());
  std::set<std::u16string_view> folders_done;
  for (size_t i = 0; i < listing.size(); ++i) {
    uint32_t entry = listing[i];
    if (entry >= entries.size() || seen[entry]) bad_index("does not list every entry once");
    seen[entry] = true;
    if (i == 0) continue;
    const EntryHeader& before = entries[listing[i - 1]];
    std::u16string_view folder = folder_of(entries[entry].name);
    if (folder != folder_of(before.name)) {
      folders_done.insert(folder_of(before.name));
      if (folders_done.count(folder)) bad_index("does not list each folder's entries together");
    } else if (lists_before(entries[entry], before)) {
      bad_index("does not list a folder's entries in the order the launcher searches");
    }
  }
}

}  // namespace

uint64_t entry_index_size(const std::vector<EntryHeader>& entries) {
  return counts_of(entries).size;
}

std::vector<unsigned char> entry_index(const std::vector<EntryHeader>& entries) {
  IndexCounts counts = counts_of(entries);
  std::vector<unsigned char> index(counts.size);
  put_le(&index[0], counts.entries, 4);
  put_le(&index[4], counts.name_units, 4);
  uint64_t unit = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    unsigned char* at = &index[index_header_size + i * index_entry_size];
    put_le(at + index_size_offset, entries[i].size, 8);
    put_le(at + index_checksum_offset, entries[i].checksum, 4);
    put_le(at + index_name_offset, unit, 4);
    for (char16_t c : entries[i].name) put_le(&index[counts.names_at + 2 * unit++], c, 2);
    ++unit;  // the 0 unit after the name
  }
  std::vector<uint32_t> listing(entries.size());
  std::iota(listing.begin(), listing.end(), 0);
  std::stable_sort(listing.begin(), listing.end(), [&entries](uint32_t a, uint32_t b) {
    return lists_before(entries[a], entries[b]);
  });
  for (size_t i = 0; i < listing.size(); ++i) {
    put_le(&index[counts.listing_at + i * index_listing_item_size], listing[i], 4);
  }
  put_le(&index[index_own_checksum_offset], own_checksum(index.data(), index.size()), 4);
  return index;
}

std::vector<EntryHeader> read_entry_index(const unsigned char* data, size_t size) {
  if (size < index_header_size) bad_index("is cut short");
  IndexCounts counts = counts_of(get_le(data, 4), get_le(data + 4, 4));
  if (get_le(data + 12, 4) != 0 || counts.size != size) bad_index("has other counts than its size");
  // Indexes of older tools carry no checksum of their own.
  uint32_t checksum = get_le(data + index_own_checksum_offset, 4);
  if (checksum != 0 && checksum != own_checksum(data, size)) {
    bad_index("does not match its own checksum");
  }
  std::vector<EntryHeader> entries(counts.entries);
  uint64_t unit = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    const unsigned char* at = data + index_header_size + i * index_entry_size;
    entries[i].size = get_le64(at + index_size_offset);
    entries[i].checksum = get_le(at + index_checksum_offset, 4);
    if (get_le(at + index_name_offset, 4) != unit) bad_index("has names out of their order");
    for (;; ++unit) {
      if (unit == counts.name_units) bad_index("has a name without its end");
      char16_t c = static_cast<char16_t>(get_le(data + counts.names_at + 2 * unit, 2));
      if (c == 0) break;
      entries[i].name += c;
    }
    ++unit;
    if (entries[i].name.empty()) bad_index("has an empty name");
  }
  if (unit != counts.name_units) bad_index("has names that no entry has");
  std::vector<uint32_t> listing(entries.size());
  for (size_t i = 0; i < listing.size(); ++i) {
    listing[i] = get_le(data + counts.listing_at + i * index_listing_item_size, 4);
  }
  check_listing(entries, listing);
  return entries;
}

}  // namespace pack
