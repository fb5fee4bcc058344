#include "pack/image/resource_section.h"

#include <algorithm>
#include <map>

#include "pack/image/pe_headers.h"
#include "pack/pack_error.h"

namespace pack {
namespace {

constexpr uint32_t directory_header_size = 16;
constexpr uint32_t directory_entry_size = 8;
constexpr uint32_t data_entry_size = 16;
constexpr uint32_t points_to_directory = 0x80000000u;

uint32_t directory_size(size_t entries) {
  return directory_header_size + directory_entry_size * static_cast<uint32_t>(entries);
}

class SectionBytes {
 public:
  explicit SectionBytes(uint32_t size) : bytes_(size, 0) {}
  void directory(uint32_t at, uint16_t id_entries) { put_le(&bytes_[at + 14], id_entries, 2); }
  void entry(uint32_t directory_at, uint32_t index, uint32_t id, uint32_t target) {
    uint32_t at = directory_at + directory_header_size + index * directory_entry_size;
    put_le(&bytes_[at], id, 4);
    put_le(&bytes_[at + 4], target, 4);
  }
  void data_entry(uint32_t at, uint32_t rva, uint32_t size) {
    put_le(&bytes_[at], rva, 4);
    put_le(&bytes_[at + 4], size, 4);
  }
  void data(uint32_t at, const std::vector<unsigned char>& data) {
    std::copy(data.begin(), data.end(), bytes_.begin() + at);
  }
  std::vector<unsigned char> take() { return std::move(bytes_); }

 private:
  std::vector<unsigned char> bytes_;
};

uint32_t align8(uint64_t at) {
  if (at > 0xFFFFFFF0u) throw PackError("resources too large");
  return static_cast<uint32_t>((at + 7) & ~uint64_t{7});
}

}  // namespace

std::vector<unsigned char> resource_section(std::vector<ResourceItem> items, uint32_t section_rva) {
  std::sort(items.begin(), items.end(), [](const ResourceItem& a, const ResourceItem& b) {
    return a.type != b.type ? a.type < b.type : a.id < b.id;
  });
  std::map<uint16_t, std::vector<const ResourceItem*>> types;
  for (const ResourceItem& item : items) types[item.type].push_back(&item);

  // Directories first, then the data entries, then the data.
  uint32_t tables = directory_size(types.size());
  for (const auto& [type, of_type] : types) {
    tables += directory_size(of_type.size()) + of_type.size() * directory_size(1);
  }
  uint32_t entries_at = tables;
  uint64_t data_at = entries_at + data_entry_size * static_cast<uint64_t>(items.size());
  std::vector<uint32_t> data_offsets;
  for (const ResourceItem& item : items) {
    data_at = align8(data_at);
    data_offsets.push_back(static_cast<uint32_t>(data_at));
    data_at += item.data.size();
  }
  SectionBytes out(align8(data_at));

  out.directory(0, static_cast<uint16_t>(types.size()));
  uint32_t next_directory = directory_size(types.size());
  uint32_t type_index = 0, item_index = 0;
  for (const auto& [type, of_type] : types) {
    uint32_t type_at = next_directory;
    out.entry(0, type_index++, type, type_at | points_to_directory);
    out.directory(type_at, static_cast<uint16_t>(of_type.size()));
    next_directory += directory_size(of_type.size());
    for (uint32_t i = 0; i < of_type.size(); ++i, ++item_index) {
      uint32_t id_at = next_directory;
      next_directory += directory_size(1);
      out.entry(type_at, i, of_type[i]->id, id_at | points_to_directory);
      out.directory(id_at, 1);
      uint32_t leaf_at = entries_at + item_index * data_entry_size;
      out.entry(id_at, 0, 0, leaf_at);
      out.data_entry(leaf_at, section_rva + data_offsets[item_index],
                     static_cast<uint32_t>(of_type[i]->data.size()));
      out.data(data_offsets[item_index], of_type[i]->data);
    }
  }
  return out.take();
}

}  // namespace pack
