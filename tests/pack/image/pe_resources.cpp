#include "tests/pack/image/pe_resources.h"

#include <stdexcept>
#include <tuple>

namespace pack_test {
namespace {

uint32_t le(const std::vector<unsigned char>& b, size_t at, int bytes) {
  if (at + static_cast<size_t>(bytes) > b.size()) throw std::runtime_error("read past the image");
  uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | b[at + static_cast<size_t>(i)];
  return value;
}

struct Section {
  uint32_t rva, size, raw;
};

struct Image {
  const std::vector<unsigned char>& bytes;
  std::vector<Section> sections;
  uint32_t resource_rva = 0;

  size_t offset(uint32_t rva) const {
    for (const Section& s : sections) {
      if (rva >= s.rva && rva < s.rva + s.size) return s.raw + (rva - s.rva);
    }
    throw std::runtime_error("address outside every section");
  }
};

Image load(const std::vector<unsigned char>& bytes) {
  Image image{bytes, {}, 0};
  uint32_t pe = le(bytes, 0x3C, 4);
  if (le(bytes, pe, 4) != 0x4550) throw std::runtime_error("not a PE image");
  uint32_t count = le(bytes, pe + 6, 2);
  uint32_t optional_size = le(bytes, pe + 20, 2);
  size_t optional = pe + 24;
  image.resource_rva = le(bytes, optional + 112 + 2 * 8, 4);  // data directory 2, PE32+
  for (uint32_t i = 0; i < count; ++i) {
    size_t s = optional + optional_size + i * 40;
    image.sections.push_back({le(bytes, s + 12, 4), le(bytes, s + 16, 4), le(bytes, s + 20, 4)});
  }
  return image;
}

// Entries of one resource directory: (id, offset of what it points to, is a directory).
std::vector<std::tuple<uint32_t, uint32_t, bool>> entries(const Image& image, size_t dir) {
  const auto& b = image.bytes;
  uint32_t named = le(b, dir + 12, 2), ids = le(b, dir + 14, 2);
  std::vector<std::tuple<uint32_t, uint32_t, bool>> out;
  for (uint32_t i = 0; i < named + ids; ++i) {
    uint32_t name = le(b, dir + 16 + i * 8, 4);
    uint32_t target = le(b, dir + 16 + i * 8 + 4, 4);
    if (name & 0x80000000u) continue;  // named entries are not ours
    out.emplace_back(name, target & 0x7FFFFFFFu, (target & 0x80000000u) != 0);
  }
  return out;
}

}  // namespace

std::vector<Resource> read_resources(const std::vector<unsigned char>& bytes) {
  Image image = load(bytes);
  std::vector<Resource> out;
  if (image.resource_rva == 0) return out;
  size_t root = image.offset(image.resource_rva);
  for (auto [type, type_dir, type_is_dir] : entries(image, root)) {
    if (!type_is_dir) continue;
    for (auto [id, id_dir, id_is_dir] : entries(image, root + type_dir)) {
      if (!id_is_dir) continue;
      for (auto [language, leaf, leaf_is_dir] : entries(image, root + id_dir)) {
        if (leaf_is_dir) continue;
        uint32_t rva = le(bytes, root + leaf, 4);
        uint32_t size = le(bytes, root + leaf + 4, 4);
        size_t at = image.offset(rva);
        Resource resource{type, id, language, {}};
        resource.data.assign(bytes.begin() + static_cast<ptrdiff_t>(at),
                             bytes.begin() + static_cast<ptrdiff_t>(at + size));
        out.push_back(std::move(resource));
      }
    }
  }
  return out;
}

const Resource* find_resource(const std::vector<Resource>& resources, uint32_t type, uint32_t id) {
  for (const Resource& r : resources) {
    if (r.type == type && r.id == id) return &r;
  }
  return nullptr;
}

namespace {

// One node of a version resource: length, value length, type, key, value, children.
struct VersionNode {
  std::u16string key;
  size_t value_at = 0;
  size_t value_length = 0;  // in bytes for binary values, in units for text
  uint32_t type = 0;
  std::vector<VersionNode> children;
};

size_t align4(size_t at) { return (at + 3) & ~size_t{3}; }

VersionNode parse_node(const std::vector<unsigned char>& b, size_t at) {
  VersionNode node;
  size_t length = le(b, at, 2);
  node.value_length = le(b, at + 2, 2);
  node.type = le(b, at + 4, 2);
  size_t pos = at + 6;
  for (char16_t c; (c = static_cast<char16_t>(le(b, pos, 2))) != 0; pos += 2) node.key += c;
  pos = align4(pos + 2);
  node.value_at = pos;
  pos = align4(pos + node.value_length * (node.type == 1 ? 2 : 1));
  while (pos < at + length) {
    VersionNode child = parse_node(b, pos);
    size_t child_length = le(b, pos, 2);
    node.children.push_back(std::move(child));
    pos = align4(pos + child_length);
  }
  return node;
}

std::string narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

}  // namespace

VersionInfo parse_version_resource(const std::vector<unsigned char>& b) {
  VersionInfo info;
  VersionNode root = parse_node(b, 0);
  size_t f = root.value_at;
  info.signature = le(b, f, 4);
  info.file_ms = le(b, f + 8, 4);
  info.file_ls = le(b, f + 12, 4);
  info.product_ms = le(b, f + 16, 4);
  info.product_ls = le(b, f + 20, 4);
  info.flags_mask = le(b, f + 24, 4);
  info.flags = le(b, f + 28, 4);
  info.os = le(b, f + 32, 4);
  info.type = le(b, f + 36, 4);
  for (const VersionNode& block : root.children) {
    if (block.key == u"StringFileInfo") {
      for (const VersionNode& table : block.children) {
        info.string_table_key = narrow(table.key);
        for (const VersionNode& entry : table.children) {
          std::u16string value;
          for (size_t i = 0; i < entry.value_length; ++i) {
            char16_t c = static_cast<char16_t>(le(b, entry.value_at + 2 * i, 2));
            if (c != 0) value += c;
          }
          info.strings[narrow(entry.key)] = value;
          info.string_order.push_back(narrow(entry.key));
        }
      }
    } else if (block.key == u"VarFileInfo") {
      for (const VersionNode& var : block.children) {
        for (size_t i = 0; i + 2 <= var.value_length; i += 2) {
          info.translation.push_back(static_cast<uint16_t>(le(b, var.value_at + i, 2)));
        }
      }
    }
  }
  return info;
}

}  // namespace pack_test
