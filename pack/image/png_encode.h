#pragma once
#include <cstdint>
#include <vector>

namespace pack {

// A PNG file of an 8-bit RGBA image (rows top to bottom, 4 bytes per pixel), with the
// filter of each row chosen to compress well.
std::vector<unsigned char> encode_png_rgba(const std::vector<unsigned char>& rgba, uint32_t width,
                                           uint32_t height);

}  // namespace pack
