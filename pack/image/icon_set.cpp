#include "pack/image/icon_set.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "pack/pack_error.h"

namespace pack {
namespace {

constexpr size_t directory_entry_size = 16;
constexpr unsigned char png_signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

uint32_t le(const unsigned char* p, int bytes) {
  uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
  return value;
}

uint32_t be32(const unsigned char* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

uint32_t pixels(uint8_t directory_size) { return directory_size == 0 ? 256 : directory_size; }

bool is_png(const std::vector<unsigned char>& data) {
  return data.size() >= 8 && std::memcmp(data.data(), png_signature, 8) == 0;
}

// Bits per pixel from the PNG header's bit depth and colour type.
uint16_t png_bit_count(uint8_t depth, uint8_t color_type) {
  static const int channels[] = {1, 0, 3, 1, 2, 0, 4};
  return color_type <= 6 ? static_cast<uint16_t>(channels[color_type] * depth) : 0;
}

std::string check_png(IconImage& image) {
  const std::vector<unsigned char>& d = image.data;
  if (d.size() < 8 + 8 + 13 || be32(&d[8]) != 13 || std::memcmp(&d[12], "IHDR", 4) != 0) {
    return "PNG image without a header";
  }
  uint32_t width = be32(&d[16]);
  uint32_t height = be32(&d[20]);
  if (width != pixels(image.width) || height != pixels(image.height)) {
    return "PNG image of " + std::to_string(width) + "x" + std::to_string(height) + " listed as " +
           std::to_string(pixels(image.width)) + "x" + std::to_string(pixels(image.height));
  }
  image.planes = 1;
  image.bit_count = png_bit_count(d[24], d[25]);
  if (image.bit_count == 0) return "PNG image of an unknown colour type";
  return "";
}

std::string check_dib(IconImage& image) {
  const std::vector<unsigned char>& d = image.data;
  if (d.size() < 40) return "image is neither PNG nor a bitmap";
  uint32_t header = le(&d[0], 4);
  int32_t width = static_cast<int32_t>(le(&d[4], 4));
  int32_t height = static_cast<int32_t>(le(&d[8], 4));
  uint16_t planes = static_cast<uint16_t>(le(&d[12], 2));
  uint16_t bits = static_cast<uint16_t>(le(&d[14], 2));
  if ((header != 40 && header != 108 && header != 124) || planes != 1) {
    return "image is neither PNG nor a bitmap";
  }
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    return "bitmap with " + std::to_string(bits) + " bits per pixel";
  }
  if (static_cast<uint32_t>(width) != pixels(image.width) ||
      static_cast<uint32_t>(height) != 2 * pixels(image.height)) {
    return "bitmap size does not match the directory";
  }
  uint64_t palette = le(&d[32], 4);
  if (palette == 0 && bits <= 8) palette = uint64_t{1} << bits;
  uint64_t row = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
  uint64_t needed = header + 4 * palette + row * static_cast<uint64_t>(height / 2);
  if (needed > d.size()) return "bitmap data is cut short";
  image.planes = 1;
  image.bit_count = bits;
  return "";
}

}  // namespace

IconParse parse_icon(const std::vector<unsigned char>& bytes) {
  IconParse result;
  if (bytes.size() < 6 || le(&bytes[0], 2) != 0 || le(&bytes[2], 2) != 1) {
    result.problem = "no icon file header";
    return result;
  }
  size_t count = le(&bytes[4], 2);
  if (count == 0) result.problem = "icon file lists no images";
  if (6 + count * directory_entry_size > bytes.size())
    result.problem = "icon directory is cut short";
  for (size_t i = 0; i < count && result.problem.empty(); ++i) {
    const unsigned char* entry = &bytes[6 + i * directory_entry_size];
    uint64_t size = le(entry + 8, 4);
    uint64_t offset = le(entry + 12, 4);
    std::string where = "image " + std::to_string(i + 1) + ": ";
    if (size == 0 || offset < 6 + count * directory_entry_size || offset + size > bytes.size()) {
      result.problem = where + "lies outside the file";
      break;
    }
    IconImage image;
    image.width = entry[0];
    image.height = entry[1];
    image.colors = entry[2];
    image.data.assign(bytes.begin() + static_cast<ptrdiff_t>(offset),
                      bytes.begin() + static_cast<ptrdiff_t>(offset + size));
    std::string problem = is_png(image.data) ? check_png(image) : check_dib(image);
    if (!problem.empty()) result.problem = where + problem;
    result.images.push_back(std::move(image));
  }
  if (!result.problem.empty()) result.images.clear();
  return result;
}

std::vector<IconImage> read_icon_file(const std::filesystem::path& path) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) {
    throw PackError(path.u8string() + ": cannot read icon: it is a folder, not an .ico file");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) throw PackError(path.u8string() + ": cannot read icon: " + std::strerror(errno));
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  if (in.bad()) throw PackError(path.u8string() + ": cannot read icon");
  IconParse parsed = parse_icon(bytes);
  if (!parsed.problem.empty()) {
    throw PackError(path.u8string() + ": not a valid .ico file: " + parsed.problem);
  }
  return parsed.images;
}

std::vector<unsigned char> icon_file_bytes(const std::vector<IconImage>& images) {
  std::vector<unsigned char> out;
  auto put = [&out](uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
  };
  put(0, 2);
  put(1, 2);
  put(static_cast<uint32_t>(images.size()), 2);
  uint32_t offset = static_cast<uint32_t>(6 + images.size() * directory_entry_size);
  for (const IconImage& image : images) {
    out.insert(out.end(), {image.width, image.height, image.colors, 0});
    put(image.planes, 2);
    put(image.bit_count, 2);
    put(static_cast<uint32_t>(image.data.size()), 4);
    put(offset, 4);
    offset += static_cast<uint32_t>(image.data.size());
  }
  for (const IconImage& image : images) out.insert(out.end(), image.data.begin(), image.data.end());
  return out;
}

}  // namespace pack
