#include "pack/archive/payload_block.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "pack/archive/archive_writer.h"
#include "pack/pack_error.h"
#include "pack/scan/archive_plan.h"

namespace pack {
namespace {

constexpr unsigned char magic[3] = {'Q', 'V', 'J'};

class FileSink : public ByteSink {
 public:
  explicit FileSink(const std::filesystem::path& path)
      : path_(path), file_(std::fopen(path.u8string().c_str(), "wb"), std::fclose) {
    if (!file_) throw PackError(path.u8string() + ": cannot create: " + std::strerror(errno));
  }
  void write(const void* data, size_t size) override {
    if (std::fwrite(data, 1, size, file_.get()) != size) fail();
  }
  void close() {
    if (std::fclose(file_.release()) != 0) fail();
  }

 private:
  [[noreturn]] void fail() const {
    throw PackError(path_.u8string() + ": write failed: " + std::strerror(errno));
  }
  std::filesystem::path path_;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_;
};

}  // namespace

BlockSizes write_payload_block(const std::vector<AppFile>& entries,
                               const CompressionSettings& settings, ByteSink& out,
                               Progress& progress) {
  BlockSizes sizes;
  sizes.archive = archive_size(entries);
  out.write(magic, sizeof magic);
  ZstdSink sink(out, settings, sizes.archive, progress);
  sizes.checksums = write_archive(entries, sink, sizes.content_id);
  uint64_t in_front = sizeof magic + sink.finish();

  const unsigned char zeros[16] = {};
  size_t fill = static_cast<size_t>((16 - in_front % 16) % 16);
  out.write(zeros, fill);
  in_front += fill;
  unsigned char trailer[8];
  for (int i = 0; i < 8; ++i) trailer[i] = static_cast<unsigned char>(in_front >> (8 * i));
  out.write(trailer, sizeof trailer);
  sizes.block = in_front + sizeof trailer;
  return sizes;
}

BlockSizes write_payload_block(const std::vector<AppFile>& entries,
                               const CompressionSettings& settings,
                               const std::filesystem::path& path, Progress& progress) {
  FileSink file(path);
  BlockSizes sizes = write_payload_block(entries, settings, file, progress);
  file.close();
  return sizes;
}

}  // namespace pack
