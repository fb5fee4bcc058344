#include "pack/image/png_encode.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>

#include "pack/pack_error.h"

namespace pack {
namespace {

void put_be32(std::vector<unsigned char>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<unsigned char>(value >> shift));
}

void put_chunk(std::vector<unsigned char>& out, const char* type,
               const std::vector<unsigned char>& data) {
  put_be32(out, static_cast<uint32_t>(data.size()));
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  put_be32(out,
           static_cast<uint32_t>(crc32(0, &out[start], static_cast<uInt>(out.size() - start))));
}

int paeth(int a, int b, int c) {
  int p = a + b - c;
  int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

// Row filtered with type (0 none, 1 sub, 2 up, 3 average, 4 Paeth), as PNG defines them.
std::vector<unsigned char> filter_row(const unsigned char* row, const unsigned char* above,
                                      size_t length, int type) {
  std::vector<unsigned char> out(length + 1);
  out[0] = static_cast<unsigned char>(type);
  for (size_t i = 0; i < length; ++i) {
    int a = i >= 4 ? row[i - 4] : 0;
    int b = above ? above[i] : 0;
    int c = (above && i >= 4) ? above[i - 4] : 0;
    int predicted = type == 1   ? a
                    : type == 2 ? b
                    : type == 3 ? (a + b) / 2
                    : type == 4 ? paeth(a, b, c)
                                : 0;
    out[i + 1] = static_cast<unsigned char>(row[i] - predicted);
  }
  return out;
}

// The usual heuristic: the filter whose output, read as signed bytes, sums smallest.
std::vector<unsigned char> best_filtered_row(const unsigned char* row, const unsigned char* above,
                                             size_t length) {
  std::vector<unsigned char> best;
  long best_cost = -1;
  for (int type = 0; type <= 4; ++type) {
    std::vector<unsigned char> candidate = filter_row(row, above, length, type);
    long cost = 0;
    for (size_t i = 1; i < candidate.size(); ++i)
      cost += std::abs(static_cast<signed char>(candidate[i]));
    if (best_cost < 0 || cost < best_cost) best = std::move(candidate), best_cost = cost;
  }
  return best;
}

}  // namespace

std::vector<unsigned char> encode_png_rgba(const std::vector<unsigned char>& rgba, uint32_t width,
                                           uint32_t height) {
  size_t stride = size_t{width} * 4;
  std::vector<unsigned char> filtered;
  for (uint32_t y = 0; y < height; ++y) {
    const unsigned char* row = &rgba[y * stride];
    std::vector<unsigned char> line = best_filtered_row(row, y ? row - stride : nullptr, stride);
    filtered.insert(filtered.end(), line.begin(), line.end());
  }
  uLongf packed_size = compressBound(static_cast<uLong>(filtered.size()));
  std::vector<unsigned char> packed(packed_size);
  if (compress2(packed.data(), &packed_size, filtered.data(), static_cast<uLong>(filtered.size()),
                Z_BEST_COMPRESSION) != Z_OK) {
    throw PackError("icon: PNG compression failed");
  }
  packed.resize(packed_size);

  std::vector<unsigned char> header;
  put_be32(header, width);
  put_be32(header, height);
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA, no interlace
  std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  put_chunk(png, "IHDR", header);
  put_chunk(png, "IDAT", packed);
  put_chunk(png, "IEND", {});
  return png;
}

}  // namespace pack
