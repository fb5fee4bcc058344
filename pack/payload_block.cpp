#include "pack/payload_block.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "pack/archive_plan.h"
#include "pack/archive_writer.h"
#include "pack/pack_error.h"

namespace pack {
namespace {

constexpr unsigned char magic[3] = {'Q', 'V', 'J'};

void put(std::FILE* out, const void* data, size_t size, const std::filesystem::path& path) {
  if (std::fwrite(data, 1, size, out) != size) {
    throw PackError(path.string() + ": write failed: " + std::strerror(errno));
  }
}

}  // namespace

BlockSizes write_payload_block(const std::vector<AppFile>& entries,
                               const CompressionSettings& settings,
                               const std::filesystem::path& path, Progress& progress) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!out) throw PackError(path.string() + ": cannot create: " + std::strerror(errno));

  BlockSizes sizes;
  sizes.archive = archive_size(entries);
  put(out.get(), magic, sizeof magic, path);
  ZstdSink sink(out.get(), settings, sizes.archive, progress);
  write_archive(entries, sink);
  uint64_t in_front = sizeof magic + sink.finish();

  const unsigned char zeros[16] = {};
  size_t fill = static_cast<size_t>((16 - in_front % 16) % 16);
  put(out.get(), zeros, fill, path);
  in_front += fill;
  unsigned char trailer[8];
  for (int i = 0; i < 8; ++i) trailer[i] = static_cast<unsigned char>(in_front >> (8 * i));
  put(out.get(), trailer, sizeof trailer, path);
  if (std::fclose(out.release()) != 0) {
    throw PackError(path.string() + ": write failed: " + std::strerror(errno));
  }
  sizes.block = in_front + sizeof trailer;
  return sizes;
}

}  // namespace pack
