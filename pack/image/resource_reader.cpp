#include "pack/image/resource_reader.h"

#include <algorithm>

#include "pack/image/pe_headers.h"
#include "pack/pack_error.h"

namespace pack {
namespace {

using Bytes = std::vector<unsigned char>;

constexpr uint32_t pe_signature = 0x00004550;
constexpr uint32_t high_bit = 0x80000000u;
// Far more than any program carries; bounds the work on a directory whose entries all
// point to one large subdirectory.
constexpr size_t max_entries = 1u << 18;

using Reader = BoundedReader;

struct Entry {
  uint32_t name = 0;    // an id, or the offset of a name with the high bit set
  uint32_t target = 0;  // a subdirectory with the high bit set, else a data entry
};

std::vector<Entry> directory_entries(const Reader& r, uint32_t at, size_t& budget) {
  uint32_t count = r.at(at + 12, 2) + r.at(at + 14, 2);
  if (count > budget) throw PackError("the resource directory lists more than any program has");
  budget -= count;
  std::vector<Entry> entries;
  for (uint32_t i = 0; i < count; ++i) {
    entries.push_back({r.at(at + 16 + 8 * uint64_t{i}, 4), r.at(at + 20 + 8 * uint64_t{i}, 4)});
  }
  return entries;
}

std::u16string name_text(const Reader& r, uint32_t name) {
  if (!(name & high_bit)) return u"";
  uint32_t at = name & ~high_bit;
  uint32_t length = r.at(at, 2);
  std::u16string text;
  for (uint32_t i = 0; i < length; ++i) text += static_cast<char16_t>(r.at(at + 2 + 2 * i, 2));
  return text;
}

uint32_t subdirectory(const Entry& entry) {
  if (!(entry.target & high_bit)) throw PackError("a resource directory level is missing");
  return entry.target & ~high_bit;
}

}  // namespace

std::optional<ResourceRange> resource_range(const unsigned char* head, size_t size) {
  Reader r(head, size, "its headers are cut short");
  if (r.at(0, 2) != 0x5A4D) throw PackError("no MZ header");
  uint32_t pe = r.at(0x3C, 4);
  if (r.at(pe, 4) != pe_signature) throw PackError("no PE signature");
  uint32_t sections = r.at(pe + 6, 2);
  uint32_t optional_size = r.at(pe + 20, 2);
  uint64_t opt = uint64_t{pe} + 24;
  // Without the data directories in the file there is no resource directory to read.
  if (opt + 2 > size) return std::nullopt;
  uint32_t magic = r.at(opt, 2);
  uint32_t directories = magic == 0x20B ? 112 : magic == 0x10B ? 96 : 0;
  if (directories == 0 || opt + directories + 24 > size) return std::nullopt;
  if (r.at(opt + directories - 4, 4) <= 2) return std::nullopt;
  uint32_t rva = r.at(opt + directories + 16, 4);
  if (rva == 0) return std::nullopt;
  for (uint32_t i = 0; i < sections; ++i) {
    uint64_t at = opt + optional_size + 40 * uint64_t{i};
    uint32_t va = r.at(at + 12, 4), raw_size = r.at(at + 16, 4), raw = r.at(at + 20, 4);
    if (rva < va || rva - va >= raw_size) continue;
    uint32_t skip = rva - va;
    return ResourceRange{uint64_t{raw} + skip, std::min(raw_size - skip, max_resource_section),
                         rva};
  }
  throw PackError("its resource directory lies outside its sections");
}

std::vector<ResourceLeaf> read_resource_leaves(const ResourceBytes& section,
                                               const std::vector<uint32_t>& types) {
  Reader r(section.bytes.data(), section.bytes.size(), "the resource directory is cut short");
  std::vector<ResourceLeaf> leaves;
  size_t budget = max_entries;
  for (const Entry& type : directory_entries(r, 0, budget)) {
    bool named_type = (type.name & high_bit) != 0;
    if (!types.empty() &&
        (named_type || std::find(types.begin(), types.end(), type.name) == types.end())) {
      continue;
    }
    for (const Entry& name : directory_entries(r, subdirectory(type), budget)) {
      for (const Entry& language : directory_entries(r, subdirectory(name), budget)) {
        if (language.target & high_bit) throw PackError("a resource directory is nested too deep");
        ResourceLeaf leaf;
        leaf.type = named_type ? 0 : type.name;
        leaf.type_name = name_text(r, type.name);
        leaf.name = name_text(r, name.name);
        leaf.id = (name.name & high_bit) ? 0 : name.name;
        leaf.language = language.name & 0xFFFF;
        leaf.data_rva = r.at(language.target, 4);
        leaf.size = r.at(uint64_t{language.target} + 4, 4);
        leaves.push_back(std::move(leaf));
      }
    }
  }
  return leaves;
}

Bytes resource_data(const ResourceBytes& section, const ResourceLeaf& leaf) {
  uint64_t at = uint64_t{leaf.data_rva} - section.rva;
  if (leaf.data_rva < section.rva || at + leaf.size > section.bytes.size()) {
    throw PackError("a resource's data lies outside the resource section");
  }
  auto from = section.bytes.begin() + static_cast<ptrdiff_t>(at);
  return Bytes(from, from + leaf.size);
}

}  // namespace pack
