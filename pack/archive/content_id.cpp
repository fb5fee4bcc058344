#include "pack/archive/content_id.h"

namespace pack {

void ContentId::add(const void* data, size_t size) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < size; ++i) {
    hash_ ^= bytes[i];
    hash_ *= 0x100000001b3ULL;
  }
}

uint64_t ContentId::value() const {
  // FNV's low bits mix poorly; fold the high half in before they are used.
  uint64_t mixed = hash_ ^ (hash_ >> 29);
  mixed *= 0xbf58476d1ce4e5b9ULL;
  return mixed ^ (mixed >> 32);
}

std::string ContentId::text() const {
  uint64_t mixed = value();
  static const char digits[] = "0123456789abcdef";
  std::string out(text_length, '0');
  for (size_t i = 0; i < text_length; ++i)
    out[text_length - 1 - i] = digits[(mixed >> (4 * i)) & 15];
  return out;
}

}  // namespace pack
