#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace pack {

// One image of an icon group, as a .ico file lists it.
struct IconImage {
  uint8_t width = 0;   // 0 stands for 256
  uint8_t height = 0;  // 0 stands for 256
  uint8_t colors = 0;
  uint16_t planes = 1;
  uint16_t bit_count = 32;
  std::vector<unsigned char> data;  // a PNG file or a DIB with its AND mask
};

struct IconParse {
  std::vector<IconImage> images;
  std::string problem;  // "" when the bytes are a usable .ico
};

// Reads the directory and checks every image: PNG or DIB, inside the file, sizes of 1 to
// 256 pixels that agree with the directory.
IconParse parse_icon(const std::vector<unsigned char>& bytes);

// --icon: the file's images, or PackError naming the file and the reason.
std::vector<IconImage> read_icon_file(const std::filesystem::path& path);

// The .ico file for the resource compiler, with planes and bit counts taken from the
// images themselves.
std::vector<unsigned char> icon_file_bytes(const std::vector<IconImage>& images);

}  // namespace pack
