#include <algorithm>

#include "pack/platform/file_reader.h"

namespace pack {

size_t FileReader::fill(unsigned char* data, size_t want, uint64_t offset) {
  size_t filled = 0;
  while (filled < want) {
    size_t got = read_at(data + filled, want - filled, offset + filled);
    if (got == 0) fail("file became shorter while it was packed");
    filled += got;
  }
  return filled;
}

void FileReader::read_all(std::vector<unsigned char>& buffer, const ChunkHandler& handler) {
  uint64_t offset = 0;
  while (offset < size_) {
    size_t want = static_cast<size_t>(std::min<uint64_t>(buffer.size(), size_ - offset));
    handler(buffer.data(), fill(buffer.data(), want, offset));
    offset += want;
  }
  unsigned char probe = 0;
  if (read_at(&probe, 1, offset) > 0) fail("file became longer while it was packed");
}

std::vector<unsigned char> read_range(std::istream& in, uint64_t offset, uint64_t size) {
  std::vector<unsigned char> bytes(static_cast<size_t>(size));
  in.seekg(static_cast<std::streamoff>(offset));
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
  bytes.resize(static_cast<size_t>(in.gcount()));
  in.clear();
  return bytes;
}

}  // namespace pack
