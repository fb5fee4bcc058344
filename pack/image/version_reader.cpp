#include "pack/image/version_reader.h"

#include "pack/image/pe_headers.h"
#include "pack/pack_error.h"

namespace pack {
namespace {

using Bytes = std::vector<unsigned char>;

constexpr uint32_t fixed_info_signature = 0xFEEF04BD;
constexpr uint32_t fixed_info_size = 52;

[[noreturn]] void malformed(const std::string& what) {
  throw PackError("the version resource is malformed: " + what);
}

// One node: length, value length, type, key, value, then children on 32-bit boundaries.
struct Block {
  uint32_t end = 0, value = 0, value_length = 0, children = 0;
  std::u16string key;
};

uint32_t align4(uint32_t at) { return (at + 3) & ~3u; }

class VersionBytes {
 public:
  explicit VersionBytes(const Bytes& bytes)
      : reader_(bytes.data(), bytes.size(), "the version resource is malformed: cut short") {}

  uint32_t at(uint32_t offset, int size) const { return reader_.at(offset, size); }

  Block block(uint32_t at, uint32_t limit) const {
    Block b;
    uint32_t length = this->at(at, 2);
    if (length < 6 || uint64_t{at} + length > limit) malformed("a block overruns its parent");
    b.end = at + length;
    b.value_length = this->at(at + 2, 2);
    bool text = this->at(at + 4, 2) == 1;
    uint32_t p = at + 6;
    for (;; p += 2) {
      if (p + 2 > b.end) malformed("a key runs past its block");
      uint32_t unit = this->at(p, 2);
      if (unit == 0) break;
      b.key += static_cast<char16_t>(unit);
    }
    b.value = align4(p + 2);
    // Text values count UTF-16 units; some compilers count bytes, which only moves
    // the children further than they are, so the children are found from the value's
    // lower bound.
    b.children = align4(b.value + b.value_length * (text ? 2 : 1));
    if (b.children > b.end) b.children = b.end;
    return b;
  }

  // The blocks inside parent, from its children's start.
  std::vector<Block> children(const Block& parent) const {
    std::vector<Block> found;
    // Zero fill after the last child ends the list.
    for (uint32_t at = parent.children; at + 6 <= parent.end && this->at(at, 2) != 0;) {
      found.push_back(block(at, parent.end));
      at = align4(found.back().end);
    }
    return found;
  }

  // A text value: units up to the terminator or the block's end.
  std::u16string text(const Block& b) const {
    std::u16string value;
    for (uint32_t p = b.value; p + 2 <= b.end; p += 2) {
      uint32_t unit = at(p, 2);
      if (unit == 0) break;
      value += static_cast<char16_t>(unit);
    }
    return value;
  }

 private:
  BoundedReader reader_;
};

std::optional<FixedVersionInfo> fixed_info(const VersionBytes& v, const Block& root) {
  if (root.value_length < fixed_info_size || v.at(root.value, 4) != fixed_info_signature) {
    return std::nullopt;
  }
  auto version = [&](uint32_t at) {
    uint32_t ms = v.at(at, 4), ls = v.at(at + 4, 4);
    return VersionNumber{static_cast<uint16_t>(ms >> 16), static_cast<uint16_t>(ms),
                         static_cast<uint16_t>(ls >> 16), static_cast<uint16_t>(ls)};
  };
  FixedVersionInfo f;
  f.file_version = version(root.value + 8);
  f.product_version = version(root.value + 16);
  uint32_t* fields[] = {&f.flags_mask, &f.flags,   &f.os,     &f.type,
                        &f.subtype,    &f.date_ms, &f.date_ls};
  for (int i = 0; i < 7; ++i) *fields[i] = v.at(root.value + 24 + 4 * i, 4);
  return f;
}

// Language and code page from a table's key of eight hex digits.
std::optional<std::pair<uint16_t, uint16_t>> key_language(const std::u16string& key) {
  if (key.size() != 8) return std::nullopt;
  uint32_t both = 0;
  for (char16_t c : key) {
    int digit = c >= u'0' && c <= u'9'   ? c - u'0'
                : c >= u'a' && c <= u'f' ? c - u'a' + 10
                : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                         : -1;
    if (digit < 0) return std::nullopt;
    both = both << 4 | static_cast<uint32_t>(digit);
  }
  return std::make_pair(static_cast<uint16_t>(both >> 16), static_cast<uint16_t>(both));
}

std::vector<std::pair<uint16_t, uint16_t>> translations(const VersionBytes& v,
                                                        const Block& var_info) {
  std::vector<std::pair<uint16_t, uint16_t>> found;
  for (const Block& var : v.children(var_info)) {
    if (var.key != u"Translation") continue;
    for (uint32_t at = var.value; at + 4 <= var.value + var.value_length && at + 4 <= var.end;
         at += 4) {
      found.emplace_back(static_cast<uint16_t>(v.at(at, 2)),
                         static_cast<uint16_t>(v.at(at + 2, 2)));
    }
  }
  return found;
}

}  // namespace

ProgramVersion parse_program_version(const Bytes& data) {
  VersionBytes v(data);
  if (data.size() > 0xFFFF) malformed("larger than a version resource can be");
  Block root = v.block(0, static_cast<uint32_t>(data.size()));
  if (root.key != u"VS_VERSION_INFO") malformed("no VS_VERSION_INFO at its start");
  ProgramVersion found;
  found.fixed = fixed_info(v, root);
  found.fixed_unusable = !found.fixed && root.value_length > 0;
  std::vector<Block> tables;
  std::vector<std::pair<uint16_t, uint16_t>> listed;
  for (const Block& info : v.children(root)) {
    if (info.key == u"StringFileInfo") {
      for (const Block& table : v.children(info)) tables.push_back(table);
    } else if (info.key == u"VarFileInfo") {
      for (const auto& pair : translations(v, info)) listed.push_back(pair);
    }
  }
  if (tables.empty()) return found;
  const Block* chosen = nullptr;
  for (const auto& pair : listed) {
    for (const Block& table : tables) {
      if (!chosen && key_language(table.key) == pair) chosen = &table;
    }
  }
  if (!chosen) chosen = &tables.front();
  if (auto language = key_language(chosen->key)) {
    found.language = language->first;
    found.code_page = language->second;
  }
  for (const Block& entry : v.children(*chosen)) {
    if (!entry.key.empty()) found.strings.emplace_back(entry.key, v.text(entry));
  }
  return found;
}

}  // namespace pack
