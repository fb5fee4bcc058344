#include "tests/pack/inspect/image_bytes.h"

#include <algorithm>
#include <stdexcept>

namespace pack_test {

uint32_t get32(const Image& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

void put32(Image& b, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

size_t optional_header(const Image& image) { return get32(image, 0x3C) + 24; }

size_t certificate_directory(const Image& image) { return optional_header(image) + 112 + 4 * 8; }

constexpr size_t digest_record_size = 8 + 2 * 32;

size_t image_digest_record(const Image& image) {
  return get32(image, optional_header(image) + 60) - digest_record_size;
}

void clear_image_digests(Image& image) {
  std::fill_n(image.begin() + static_cast<ptrdiff_t>(image_digest_record(image)),
              digest_record_size, 0);
}

void rewrite_checksum(Image& image) {
  size_t field = optional_header(image) + 64;
  put32(image, field, 0);
  uint64_t sum = 0;
  for (size_t i = 0; i < image.size(); i += 2) {
    sum += image[i] | (i + 1 < image.size() ? image[i + 1] << 8 : 0);
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  put32(image, field, static_cast<uint32_t>(sum + image.size()));
}

size_t section_header(const Image& image, const std::string& name) {
  size_t pe = get32(image, 0x3C);
  size_t count = image[pe + 6] | image[pe + 7] << 8;
  size_t table = optional_header(image) + (image[pe + 20] | image[pe + 21] << 8);
  for (size_t i = 0; i < count; ++i) {
    size_t at = table + 40 * i;
    std::string own(reinterpret_cast<const char*>(&image[at]), 8);
    if (own.substr(0, own.find('\0')) == name) return at;
  }
  throw std::runtime_error("no section " + name);
}

bool has_section(const Image& image, const std::string& name) {
  try {
    section_header(image, name);
    return true;
  } catch (const std::runtime_error&) {
    return false;
  }
}

size_t section_data(const Image& image, const std::string& name) {
  return get32(image, section_header(image, name) + 20);
}

size_t section_size(const Image& image, const std::string& name) {
  return get32(image, section_header(image, name) + 8);
}

}  // namespace pack_test
