#include "pack/platform/file_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "pack/pack_error.h"

namespace pack {

FileReader::FileReader(const std::filesystem::path& path, uint64_t expected_size)
    : path_(path), size_(expected_size), handle_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
  if (handle_ < 0) fail(std::string("cannot read: ") + std::strerror(errno));
}

FileReader::~FileReader() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
}

void FileReader::fail(const std::string& reason) const {
  throw PackError(path_.string() + ": " + reason);
}

size_t FileReader::fill(unsigned char* data, size_t want, uint64_t offset) {
  size_t filled = 0;
  while (filled < want) {
    ssize_t got = pread(static_cast<int>(handle_), data + filled, want - filled,
                        static_cast<off_t>(offset + filled));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) fail(std::string("read failed: ") + std::strerror(errno));
    if (got == 0) fail("file became shorter while it was packed");
    filled += static_cast<size_t>(got);
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
  if (pread(static_cast<int>(handle_), &probe, 1, static_cast<off_t>(offset)) > 0) {
    fail("file became longer while it was packed");
  }
}

}  // namespace pack
