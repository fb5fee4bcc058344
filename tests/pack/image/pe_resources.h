#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace pack_test {

struct Resource {
  uint32_t type = 0;
  uint32_t id = 0;
  uint32_t language = 0;
  std::vector<unsigned char> data;
};

// The PE format's numbers of the resource types the tests read.
constexpr uint32_t rt_icon = 3, rt_group_icon = 14, rt_version = 16, rt_manifest = 24;

// Every resource of a PE image with numeric type and id, read from its resource
// directory (type, id, language), in directory order.
std::vector<Resource> read_resources(const std::vector<unsigned char>& image);
// The first resource of that type and id; nullptr when there is none.
const Resource* find_resource(const std::vector<Resource>& resources, uint32_t type, uint32_t id);

// A version resource taken apart.
struct VersionInfo {
  uint32_t signature = 0;
  uint32_t file_ms = 0, file_ls = 0, product_ms = 0, product_ls = 0;
  uint32_t flags_mask = 0, flags = 0, os = 0, type = 0;
  std::string string_table_key;                   // e.g. "000004b0"
  std::map<std::string, std::u16string> strings;  // key to value
  std::vector<std::string> string_order;          // keys as they appear
  std::vector<uint16_t> translation;
};

VersionInfo parse_version_resource(const std::vector<unsigned char>& data);

}  // namespace pack_test
