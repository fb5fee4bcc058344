#include "pack/image/version_reader.h"

#include <algorithm>
#include <fstream>
#include <vector>

#include "pack/image/pe_headers.h"

namespace pack {
namespace {

constexpr uint32_t rt_version = 16;
constexpr uint32_t fixed_info_signature = 0xFEEF04BD;
constexpr uint32_t max_resource_bytes = 64u << 20;

using Bytes = std::vector<unsigned char>;

// Bounds-checked little-endian reads; any read past the end gives nothing.
struct View {
  const Bytes& bytes;
  bool get(uint64_t at, int size, uint32_t& value) const {
    if (at + static_cast<uint64_t>(size) > bytes.size()) return false;
    value = get_le(&bytes[static_cast<size_t>(at)], size);
    return true;
  }
};

Bytes read_at(std::ifstream& in, uint64_t offset, uint32_t size) {
  Bytes bytes(size);
  in.seekg(static_cast<std::streamoff>(offset));
  in.read(reinterpret_cast<char*>(bytes.data()), size);
  bytes.resize(static_cast<size_t>(in.gcount()));
  in.clear();
  return bytes;
}

// The resource section's bytes and its address.
struct ResourceSection {
  Bytes bytes;
  uint32_t rva = 0;
};

std::optional<ResourceSection> resource_section(std::ifstream& in) {
  Bytes head = read_at(in, 0, 4096);
  View h{head};
  uint32_t pe = 0, sig = 0, sections = 0, optional_size = 0, magic = 0;
  if (!h.get(0x3C, 4, pe) || !h.get(pe, 4, sig) || sig != 0x00004550) return std::nullopt;
  uint32_t opt = pe + 24;
  if (!h.get(pe + 6, 2, sections) || !h.get(pe + 20, 2, optional_size) || !h.get(opt, 2, magic))
    return std::nullopt;
  uint32_t directories = magic == 0x20B ? 112 : magic == 0x10B ? 96 : 0;
  uint32_t rva = 0, count = 0;
  if (directories == 0 || !h.get(opt + directories - 4, 4, count) || count <= 2 ||
      !h.get(opt + directories + 16, 4, rva) || rva == 0) {
    return std::nullopt;
  }
  for (uint32_t i = 0; i < sections; ++i) {
    uint32_t at = opt + optional_size + i * 40, va = 0, vsize = 0, raw_size = 0, raw = 0;
    if (!h.get(at + 8, 4, vsize) || !h.get(at + 12, 4, va) || !h.get(at + 16, 4, raw_size) ||
        !h.get(at + 20, 4, raw)) {
      return std::nullopt;
    }
    if (rva < va || rva >= va + raw_size) continue;
    uint32_t skip = rva - va;
    uint32_t size = std::min(raw_size - skip, max_resource_bytes);
    return ResourceSection{read_at(in, uint64_t{raw} + skip, size), rva};
  }
  return std::nullopt;
}

// The first entry of a resource directory, or the one with id; its offset field.
std::optional<uint32_t> directory_entry(const View& v, uint32_t dir, std::optional<uint32_t> id) {
  uint32_t named = 0, ids = 0;
  if (!v.get(dir + 12, 2, named) || !v.get(dir + 14, 2, ids)) return std::nullopt;
  for (uint32_t i = 0; i < named + ids; ++i) {
    uint32_t name = 0, offset = 0;
    if (!v.get(dir + 16 + 8 * i, 4, name) || !v.get(dir + 20 + 8 * i, 4, offset))
      return std::nullopt;
    if (!id || (name == *id && i >= named)) return offset;
  }
  return std::nullopt;
}

std::optional<Bytes> version_data(const ResourceSection& section) {
  View v{section.bytes};
  std::optional<uint32_t> type = directory_entry(v, 0, rt_version);
  if (!type || !(*type & 0x80000000u)) return std::nullopt;
  std::optional<uint32_t> name = directory_entry(v, *type & 0x7FFFFFFFu, std::nullopt);
  if (!name || !(*name & 0x80000000u)) return std::nullopt;
  std::optional<uint32_t> language = directory_entry(v, *name & 0x7FFFFFFFu, std::nullopt);
  if (!language || (*language & 0x80000000u)) return std::nullopt;
  uint32_t rva = 0, size = 0;
  if (!v.get(*language, 4, rva) || !v.get(*language + 4, 4, size)) return std::nullopt;
  if (rva < section.rva || uint64_t{rva - section.rva} + size > section.bytes.size())
    return std::nullopt;
  auto from = section.bytes.begin() + (rva - section.rva);
  return Bytes(from, from + size);
}

// One block of the version resource: length, value length, type, key, value, children.
struct Block {
  uint32_t start = 0, end = 0, value = 0, value_length = 0, type = 0;
  std::u16string key;
};

uint32_t align4(uint32_t at) { return (at + 3) & ~3u; }

std::optional<Block> read_block(const View& v, uint32_t at, uint32_t limit) {
  Block b;
  uint32_t length = 0;
  if (!v.get(at, 2, length) || !v.get(at + 2, 2, b.value_length) || !v.get(at + 4, 2, b.type) ||
      length < 6 || at + length > limit) {
    return std::nullopt;
  }
  b.start = at;
  b.end = at + length;
  uint32_t unit = 0;
  for (uint32_t p = at + 6;; p += 2) {
    if (p >= b.end || !v.get(p, 2, unit)) return std::nullopt;
    if (unit == 0) {
      b.value = align4(p + 2);
      break;
    }
    b.key += static_cast<char16_t>(unit);
  }
  return b;
}

// The children of a block start after its value.
uint32_t children_of(const Block& b, bool text_value) {
  return align4(b.value + b.value_length * (text_value ? 2 : 1));
}

std::u16string product_name(const View& v, const Block& root) {
  for (uint32_t at = children_of(root, false); at < root.end;) {
    std::optional<Block> info = read_block(v, at, root.end);
    if (!info) return u"";
    if (info->key == u"StringFileInfo") {
      std::optional<Block> table = read_block(v, children_of(*info, false), info->end);
      if (!table) return u"";
      for (uint32_t s = children_of(*table, false); s < table->end;) {
        std::optional<Block> text = read_block(v, s, table->end);
        if (!text) return u"";
        if (text->key == u"ProductName") {
          std::u16string value;
          uint32_t unit = 0;
          for (uint32_t p = text->value; p + 2 <= text->end && v.get(p, 2, unit) && unit; p += 2)
            value += static_cast<char16_t>(unit);
          return value;
        }
        s = align4(text->end);
      }
    }
    at = align4(info->end);
  }
  return u"";
}

}  // namespace

std::optional<ProgramVersion> read_program_version(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::optional<ResourceSection> section = resource_section(in);
  if (!section) return std::nullopt;
  std::optional<Bytes> data = version_data(*section);
  if (!data) return std::nullopt;
  View v{*data};
  std::optional<Block> root = read_block(v, 0, static_cast<uint32_t>(data->size()));
  if (!root || root->key != u"VS_VERSION_INFO") return std::nullopt;
  ProgramVersion found;
  uint32_t signature = 0, ms = 0, ls = 0;
  if (root->value_length >= 52 && v.get(root->value, 4, signature) &&
      signature == fixed_info_signature && v.get(root->value + 8, 4, ms) &&
      v.get(root->value + 12, 4, ls)) {
    found.version = VersionNumber{static_cast<uint16_t>(ms >> 16), static_cast<uint16_t>(ms),
                                  static_cast<uint16_t>(ls >> 16), static_cast<uint16_t>(ls)};
  }
  found.product_name = product_name(v, *root);
  if (!found.version && found.product_name.empty()) return std::nullopt;
  return found;
}

}  // namespace pack
