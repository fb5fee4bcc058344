#include "pack/image/version_resource.h"

#include <cstdint>

#include "pack/pack_error.h"

namespace pack {
namespace {

using Bytes = std::vector<unsigned char>;

enum class ValueType : uint16_t { binary = 0, text = 1 };

void put(Bytes& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

void pad4(Bytes& out) {
  while (out.size() % 4 != 0) out.push_back(0);
}

void put_text(Bytes& out, std::u16string_view text) {
  for (char16_t unit : text) put(out, unit, 2);
  put(out, 0, 2);
}

// One node: length, value length (units for text, bytes otherwise), type, key, value,
// then its children, each starting on a 32-bit boundary.
Bytes node(std::u16string_view key, ValueType type, const Bytes& value, uint16_t value_length,
           const std::vector<Bytes>& children) {
  Bytes out;
  put(out, 0, 2);
  put(out, value_length, 2);
  put(out, static_cast<uint16_t>(type), 2);
  put_text(out, key);
  pad4(out);
  out.insert(out.end(), value.begin(), value.end());
  for (const Bytes& child : children) {
    pad4(out);
    out.insert(out.end(), child.begin(), child.end());
  }
  if (out.size() > 0xFFFF)
    throw PackError("the version resource would pass its 64 KiB limit; shorten --product-name");
  out[0] = static_cast<unsigned char>(out.size());
  out[1] = static_cast<unsigned char>(out.size() >> 8);
  return out;
}

Bytes string_entry(std::u16string_view key, std::u16string_view text) {
  Bytes value;
  put_text(value, text);
  if (text.size() + 1 > 0xFFFF)
    throw PackError("a text of the version resource is longer than its 64 KiB limit");
  return node(key, ValueType::text, value, static_cast<uint16_t>(text.size() + 1), {});
}

Bytes fixed_file_info(const FixedVersionInfo& f) {
  auto high = [](const VersionNumber& v) { return uint32_t{v[0]} << 16 | v[1]; };
  auto low = [](const VersionNumber& v) { return uint32_t{v[2]} << 16 | v[3]; };
  Bytes out;
  for (uint32_t field : {0xFEEF04BDu, 0x00010000u, high(f.file_version), low(f.file_version),
                         high(f.product_version), low(f.product_version), f.flags_mask, f.flags,
                         f.os, f.type, f.subtype, f.date_ms, f.date_ls}) {
    put(out, field, 4);
  }
  return out;
}

// The string table's key: language and code page as eight hex digits.
std::u16string table_key(uint16_t language, uint16_t code_page) {
  static const char digits[] = "0123456789abcdef";
  uint32_t both = uint32_t{language} << 16 | code_page;
  std::u16string key;
  for (int shift = 28; shift >= 0; shift -= 4)
    key += static_cast<char16_t>(digits[(both >> shift) & 15]);
  return key;
}

}  // namespace

std::u16string packed_by_value() {
  std::string text = "kovran-onefile " KOVRAN_VERSION;
  return std::u16string(text.begin(), text.end());
}

const std::u16string* version_string(const VersionResource& resource, std::u16string_view key) {
  for (const auto& [name, value] : resource.strings) {
    if (name == key) return &value;
  }
  return nullptr;
}

void set_version_string(VersionResource& resource, std::u16string_view key,
                        const std::u16string& value) {
  for (auto& [name, old] : resource.strings) {
    if (name == key) {
      old = value;
      return;
    }
  }
  resource.strings.emplace_back(std::u16string(key), value);
}

std::vector<unsigned char> version_resource_bytes(const VersionResource& info) {
  std::vector<Bytes> entries;
  for (const auto& [key, value] : info.strings) entries.push_back(string_entry(key, value));
  Bytes table = node(table_key(info.language, info.code_page), ValueType::text, {}, 0, entries);
  Bytes strings = node(u"StringFileInfo", ValueType::text, {}, 0, {table});
  Bytes translation_value;
  put(translation_value, info.language, 2);
  put(translation_value, info.code_page, 2);
  Bytes translation = node(u"Translation", ValueType::binary, translation_value, 4, {});
  Bytes vars = node(u"VarFileInfo", ValueType::text, {}, 0, {translation});
  Bytes fixed = fixed_file_info(info.fixed);
  return node(u"VS_VERSION_INFO", ValueType::binary, fixed, static_cast<uint16_t>(fixed.size()),
              {strings, vars});
}

}  // namespace pack
