#pragma once
#include <cstdint>
#include <vector>

namespace pack {

// A resource with numeric type and id; every one is language neutral.
struct ResourceItem {
  uint16_t type = 0;
  uint16_t id = 0;
  std::vector<unsigned char> data;
};

// The bytes of a resource section loaded at section_rva: the three directory levels
// (type, id, language) with ids in ascending order, the data entries, then the data.
std::vector<unsigned char> resource_section(std::vector<ResourceItem> items, uint32_t section_rva);

}  // namespace pack
