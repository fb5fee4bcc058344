#include "pack/image/default_icon.h"

#include "pack/image/png_encode.h"

namespace pack {
namespace {

// The drawing lives on a 1024 x 1024 integer grid, so every size comes out the same on
// every machine: no floating point anywhere.
constexpr int64_t grid = 1024;
constexpr int samples_per_axis = 4;

struct Point {
  int64_t x, y;
};

struct Color {
  int r, g, b;
};

struct Face {
  Point corners[4];  // clockwise on screen
  Color color;
};

constexpr Color tile_color{31, 58, 95};
constexpr Face cube_faces[] = {
    {{{512, 232}, {780, 386}, {512, 540}, {244, 386}}, {255, 200, 87}},  // top
    {{{244, 386}, {512, 540}, {512, 848}, {244, 694}}, {233, 114, 76}},  // left
    {{{512, 540}, {780, 386}, {780, 694}, {512, 848}}, {197, 40, 61}},   // right
};

bool inside_tile(Point p) {
  constexpr int64_t margin = 48, radius = 190;
  constexpr int64_t low = margin + radius, high = grid - margin - radius;
  if (p.x < margin || p.x > grid - margin || p.y < margin || p.y > grid - margin) return false;
  int64_t dx = p.x < low ? low - p.x : p.x > high ? p.x - high : 0;
  int64_t dy = p.y < low ? low - p.y : p.y > high ? p.y - high : 0;
  return dx * dx + dy * dy <= radius * radius;
}

bool inside_face(const Face& face, Point p) {
  for (int i = 0; i < 4; ++i) {
    Point a = face.corners[i];
    Point b = face.corners[(i + 1) % 4];
    if ((b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x) < 0) return false;
  }
  return true;
}

// What one sample point shows; false where the icon is transparent.
bool sample(Point p, Color& color) {
  for (const Face& face : cube_faces) {
    if (inside_face(face, p)) return color = face.color, true;
  }
  if (inside_tile(p)) return color = tile_color, true;
  return false;
}

}  // namespace

std::vector<unsigned char> draw_default_icon(uint32_t size) {
  std::vector<unsigned char> rgba(size_t{size} * size * 4);
  const int64_t steps = int64_t{size} * samples_per_axis;
  for (uint32_t y = 0; y < size; ++y) {
    for (uint32_t x = 0; x < size; ++x) {
      int hits = 0, r = 0, g = 0, b = 0;
      for (int sy = 0; sy < samples_per_axis; ++sy) {
        for (int sx = 0; sx < samples_per_axis; ++sx) {
          Point p{((x * samples_per_axis + sx) * 2 + 1) * grid / (2 * steps),
                  ((y * samples_per_axis + sy) * 2 + 1) * grid / (2 * steps)};
          Color color{};
          if (!sample(p, color)) continue;
          ++hits, r += color.r, g += color.g, b += color.b;
        }
      }
      unsigned char* pixel = &rgba[(size_t{y} * size + x) * 4];
      if (hits == 0) continue;
      pixel[0] = static_cast<unsigned char>(r / hits);
      pixel[1] = static_cast<unsigned char>(g / hits);
      pixel[2] = static_cast<unsigned char>(b / hits);
      pixel[3] = static_cast<unsigned char>(hits * 255 / (samples_per_axis * samples_per_axis));
    }
  }
  return rgba;
}

std::vector<IconImage> default_icons() {
  std::vector<IconImage> images;
  for (uint32_t size : default_icon_sizes) {
    IconImage image;
    image.width = image.height = static_cast<uint8_t>(size == 256 ? 0 : size);
    image.data = encode_png_rgba(draw_default_icon(size), size, size);
    images.push_back(std::move(image));
  }
  return images;
}

}  // namespace pack
