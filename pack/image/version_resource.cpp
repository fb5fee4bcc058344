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
  if (out.size() > 0xFFFF) throw PackError("version resource too large");
  out[0] = static_cast<unsigned char>(out.size());
  out[1] = static_cast<unsigned char>(out.size() >> 8);
  return out;
}

Bytes string_entry(std::u16string_view key, std::u16string_view text) {
  Bytes value;
  put_text(value, text);
  if (text.size() + 1 > 0xFFFF) throw PackError("version resource text too long");
  return node(key, ValueType::text, value, static_cast<uint16_t>(text.size() + 1), {});
}

Bytes fixed_file_info(const VersionNumber& v) {
  uint32_t ms = uint32_t{v[0]} << 16 | v[1];
  uint32_t ls = uint32_t{v[2]} << 16 | v[3];
  Bytes out;
  for (uint32_t field : {0xFEEF04BDu, 0x00010000u, ms, ls, ms, ls, 0x3Fu, 0u, 4u, 1u, 0u, 0u, 0u}) {
    put(out, field, 4);
  }
  return out;
}

std::u16string widen(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

}  // namespace

std::vector<unsigned char> version_resource_bytes(const VersionResource& info) {
  std::u16string version = widen(format_version(info.version));
  Bytes table =
      node(u"000004b0", ValueType::text, {}, 0,
           {string_entry(u"ProductVersion", version), string_entry(u"FileVersion", version),
            string_entry(u"OriginalFilename", info.file_name),
            string_entry(u"InternalName", info.file_name),
            string_entry(u"ProductName", info.product_name),
            string_entry(u"FileDescription", info.product_name)});
  Bytes strings = node(u"StringFileInfo", ValueType::text, {}, 0, {table});
  Bytes translation_value;
  put(translation_value, 0, 2);     // language neutral
  put(translation_value, 1200, 2);  // UTF-16
  Bytes translation = node(u"Translation", ValueType::binary, translation_value, 4, {});
  Bytes vars = node(u"VarFileInfo", ValueType::text, {}, 0, {translation});
  Bytes fixed = fixed_file_info(info.version);
  return node(u"VS_VERSION_INFO", ValueType::binary, fixed, static_cast<uint16_t>(fixed.size()),
              {strings, vars});
}

}  // namespace pack
