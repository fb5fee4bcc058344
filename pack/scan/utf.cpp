#include "pack/scan/utf.h"

#include <cstdint>

namespace pack {
namespace {

// Number of continuation bytes and the smallest code point for a lead byte, or -1.
int continuation_count(unsigned char lead, uint32_t& min_code, uint32_t& code) {
  if (lead < 0x80) return code = lead, min_code = 0, 0;
  if ((lead & 0xE0) == 0xC0) return code = lead & 0x1F, min_code = 0x80, 1;
  if ((lead & 0xF0) == 0xE0) return code = lead & 0x0F, min_code = 0x800, 2;
  if ((lead & 0xF8) == 0xF0) return code = lead & 0x07, min_code = 0x10000, 3;
  return -1;
}

void append_utf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

std::optional<std::u16string> utf8_to_utf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    uint32_t code = 0;
    uint32_t min_code = 0;
    int more = continuation_count(static_cast<unsigned char>(text[i]), min_code, code);
    if (more < 0 || text.size() - i <= static_cast<size_t>(more)) return std::nullopt;
    for (int k = 1; k <= more; ++k) {
      unsigned char c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0) != 0x80) return std::nullopt;
      code = (code << 6) | (c & 0x3F);
    }
    if (code < min_code || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return std::nullopt;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (code >> 10));
      out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
    i += more + 1;
  }
  return out;
}

std::string utf16_to_utf8(std::u16string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t code = text[i];
    bool high = code >= 0xD800 && code <= 0xDBFF;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = 0xFFFD;
    }
    append_utf8(out, code);
  }
  return out;
}

}  // namespace pack
