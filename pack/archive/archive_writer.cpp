#include "pack/archive/archive_writer.h"

#include <zlib.h>

#include "pack/pack_error.h"
#include "pack/platform/file_reader.h"

namespace pack {
namespace {

// Files up to this size are read once and kept for the checksum; larger ones are read
// twice (checksum first, since it precedes the data), never held whole.
constexpr size_t read_buffer_size = 16u << 20;

void put_le(ByteSink& sink, uint64_t value, int bytes) {
  unsigned char out[8];
  for (int i = 0; i < bytes; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
  sink.write(out, static_cast<size_t>(bytes));
}

uint32_t crc_update(uint32_t crc, const unsigned char* data, size_t size) {
  return static_cast<uint32_t>(crc32_z(crc, data, size));
}

// Passes everything on, and adds it to the content id.
class IdSink : public ByteSink {
 public:
  IdSink(ByteSink& out, ContentId& id) : out_(out), id_(id) {}
  void write(const void* data, size_t size) override {
    id_.add(data, size);
    out_.write(data, size);
  }

 private:
  ByteSink& out_;
  ContentId& id_;
};

uint32_t write_header(ByteSink& sink, const AppFile& file, uint32_t crc, ContentId& id) {
  IdSink header(sink, id);
  for (char16_t unit : file.name) put_le(header, unit, 2);
  put_le(header, 0, 2);
  put_le(header, file.size, 8);
  uint32_t stored = stored_checksum(crc, file.size);
  put_le(header, stored, 4);
  return stored;
}

uint32_t write_small_file(ByteSink& sink, const AppFile& file, std::vector<unsigned char>& buffer,
                          ContentId& id) {
  FileReader reader(file.source, file.size);
  size_t filled = 0;
  reader.read_all(buffer, [&](const unsigned char*, size_t size) { filled = size; });
  uint32_t stored = write_header(sink, file, crc_update(0, buffer.data(), filled), id);
  sink.write(buffer.data(), filled);
  return stored;
}

uint32_t write_large_file(ByteSink& sink, const AppFile& file, std::vector<unsigned char>& buffer,
                          ContentId& id) {
  FileReader reader(file.source, file.size);
  uint32_t crc = 0;
  reader.read_all(
      buffer, [&](const unsigned char* data, size_t size) { crc = crc_update(crc, data, size); });
  uint32_t stored = write_header(sink, file, crc, id);
  uint32_t again = 0;
  reader.read_all(buffer, [&](const unsigned char* data, size_t size) {
    again = crc_update(again, data, size);
    sink.write(data, size);
  });
  if (again != crc) throw PackError(file.source.u8string() + ": file changed while it was packed");
  return stored;
}

}  // namespace

uint32_t stored_checksum(uint32_t crc, uint64_t size) { return (crc == 0 && size > 0) ? 1 : crc; }

std::vector<uint32_t> write_archive(const std::vector<AppFile>& entries, ByteSink& sink,
                                    ContentId& id) {
  std::vector<unsigned char> buffer(read_buffer_size);
  std::vector<uint32_t> checksums;
  checksums.reserve(entries.size());
  for (const AppFile& file : entries) {
    checksums.push_back(file.size <= buffer.size() ? write_small_file(sink, file, buffer, id)
                                                   : write_large_file(sink, file, buffer, id));
  }
  put_le(sink, 0, 2);
  return checksums;
}

}  // namespace pack
