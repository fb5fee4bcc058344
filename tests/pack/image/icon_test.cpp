// Icon files: the default set and the validation of --icon.
#include <gtest/gtest.h>

#include <cstring>

#include "pack/image/default_icon.h"
#include "pack/image/icon_set.h"
#include "pack/image/png_encode.h"

namespace pack_test {
namespace {

using Bytes = std::vector<unsigned char>;

uint32_t be32(const unsigned char* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// A 32-bit DIB icon image with its AND mask, as older .ico files hold them.
Bytes dib_image(uint32_t size, uint16_t bits = 32) {
  Bytes dib(40, 0);
  auto put = [&dib](size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) dib[at + i] = static_cast<unsigned char>(value >> (8 * i));
  };
  put(0, 40, 4);
  put(4, size, 4);
  put(8, size * 2, 4);
  put(12, 1, 2);
  put(14, bits, 2);
  dib.resize(40 + size * size * 4 + size * 4, 0x7F);
  return dib;
}

TEST(DefaultIcons, SixSmallRgbaPngsFrom16To256Pixels) {
  std::vector<pack::IconImage> icons = pack::default_icons();
  ASSERT_EQ(6u, icons.size());
  size_t total = 0;
  for (size_t i = 0; i < icons.size(); ++i) {
    uint32_t size = pack::default_icon_sizes[i];
    const Bytes& png = icons[i].data;
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(0, std::memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(size, be32(&png[16]));
    EXPECT_EQ(size, be32(&png[20]));
    EXPECT_EQ(8, png[24]);  // bit depth
    EXPECT_EQ(6, png[25]);  // RGBA
    EXPECT_EQ(size == 256 ? 0 : size, icons[i].width);
    EXPECT_EQ(32, icons[i].bit_count);
    total += png.size();
  }
  EXPECT_LT(total, 32u * 1024);
}

TEST(DefaultIcons, DrawingHasATransparentCornerAndAnOpaqueCentre) {
  Bytes pixels = pack::draw_default_icon(64);
  EXPECT_EQ(0, pixels[3]);                         // top-left corner
  EXPECT_EQ(255, pixels[(32 * 64 + 32) * 4 + 3]);  // centre
  EXPECT_EQ(pixels, pack::draw_default_icon(64));
}

TEST(IconFile, RoundTripsThroughTheValidator) {
  std::vector<pack::IconImage> images = pack::default_icons();
  pack::IconImage dib;
  dib.width = dib.height = 16;
  dib.data = dib_image(16);
  images.push_back(dib);
  pack::IconParse parsed = pack::parse_icon(pack::icon_file_bytes(images));
  ASSERT_EQ("", parsed.problem);
  ASSERT_EQ(7u, parsed.images.size());
  EXPECT_EQ(images[5].data, parsed.images[5].data);
  EXPECT_EQ(32, parsed.images[6].bit_count);
  EXPECT_EQ(1, parsed.images[6].planes);
}

TEST(IconFile, RejectsBrokenFiles) {
  pack::IconImage png;
  png.width = png.height = 48;
  png.data = pack::encode_png_rgba(Bytes(32 * 32 * 4, 0), 32, 32);  // really 32 px
  pack::IconImage dib8;
  dib8.width = dib8.height = 16;
  dib8.data = dib_image(16, 7);
  pack::IconImage short_dib;
  short_dib.width = short_dib.height = 32;
  short_dib.data = dib_image(32);
  short_dib.data.resize(100);

  Bytes good = pack::icon_file_bytes(pack::default_icons());
  Bytes cursor = good;
  cursor[2] = 2;
  Bytes no_images = {0, 0, 1, 0, 0, 0};
  Bytes outside = good;
  outside[6 + 12] = 0xFF;  // first image's offset far past the end
  outside[6 + 13] = 0xFF;
  Bytes cut = good;
  cut.resize(good.size() - 10);

  const std::pair<Bytes, const char*> cases[] = {
      {{}, "no icon file header"},
      {Bytes(100, 'x'), "no icon file header"},
      {cursor, "no icon file header"},
      {no_images, "no images"},
      {{0, 0, 1, 0, 3, 0, 0}, "cut short"},
      {outside, "outside the file"},
      {cut, "outside the file"},
      {pack::icon_file_bytes({png}), "PNG image of 32x32 listed as 48x48"},
      {pack::icon_file_bytes({dib8}), "bits per pixel"},
      {pack::icon_file_bytes({short_dib}), "cut short"},
  };
  for (const auto& [bytes, reason] : cases) {
    pack::IconParse parsed = pack::parse_icon(bytes);
    EXPECT_NE(std::string::npos, parsed.problem.find(reason)) << parsed.problem << " / " << reason;
    EXPECT_TRUE(parsed.images.empty());
  }
}

}  // namespace
}  // namespace pack_test
