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

size_t FileReader::read_at(unsigned char* data, size_t want, uint64_t offset) {
  for (;;) {
    ssize_t got = pread(static_cast<int>(handle_), data, want, static_cast<off_t>(offset));
    if (got >= 0) return static_cast<size_t>(got);
    if (errno != EINTR) fail(std::string("read failed: ") + std::strerror(errno));
  }
}

}  // namespace pack
