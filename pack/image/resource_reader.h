#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pack {

// Resource types the pack tool reads and writes.
constexpr uint32_t rt_icon = 3, rt_group_icon = 14, rt_version = 16, rt_manifest = 24;

// A resource section as loaded: its bytes from the resource directory on, and the
// address the directory lies at.
struct ResourceBytes {
  std::vector<unsigned char> bytes;
  uint32_t rva = 0;
};

// Where a program's resource section lies in its file.
struct ResourceRange {
  uint64_t offset = 0;
  uint32_t size = 0;
  uint32_t rva = 0;
};

// Enough of a program's first bytes to find its section table.
constexpr size_t resource_head_bytes = 64 * 1024;

// Largest resource section read; a program's icons and version fit in far less.
constexpr uint32_t max_resource_section = 64u << 20;

// From a PE program's first bytes (32- or 64-bit): where its resource directory lies,
// nothing when it has none. Throws PackError when the headers point outside the file's
// sections.
std::optional<ResourceRange> resource_range(const unsigned char* head, size_t size);

// One resource: its type and name (each a text, or an id when the text is empty) and
// its language.
struct ResourceLeaf {
  uint32_t type = 0;
  std::u16string type_name;
  std::u16string name;
  uint32_t id = 0;
  uint32_t language = 0;
  uint32_t data_rva = 0;
  uint32_t size = 0;
};

// The resources of the given numeric types (all, named types included, when types is
// empty) in directory order: named before numbered, as the format sorts them. Throws
// PackError for a directory that leaves the section or lists more than any program has.
std::vector<ResourceLeaf> read_resource_leaves(const ResourceBytes& section,
                                               const std::vector<uint32_t>& types = {});

// A resource's bytes; PackError when they lie outside the section.
std::vector<unsigned char> resource_data(const ResourceBytes& section, const ResourceLeaf& leaf);

}  // namespace pack
