#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "pack/pack_error.h"
#include "pack/platform/interrupt_cleanup.h"
#include "pack/platform/output_file.h"

namespace pack {

OutputFile::OutputFile(const std::filesystem::path& output)
    : output_(output), temp_(temporary_output_path(output)) {
  // An earlier run's temporary file goes; any other node of its name stays.
  refuse_unless_file(temp_);
  unlink(temp_.c_str());
  // The launcher is a program: executable, as a linker would make it.
  handle_ = open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0777);
  if (handle_ < 0) {
    throw PackError(output.string() +
                    ": cannot create a temporary file beside it: " + std::strerror(errno));
  }
  cleanup_on_interrupt(temp_.c_str());
}

OutputFile::~OutputFile() {
  if (handle_ >= 0) {
    close(static_cast<int>(handle_));
    unlink(temp_.c_str());
  }
  cleanup_on_interrupt_clear();
}

void OutputFile::fail(const char* what) const {
  throw PackError(output_.string() + ": " + what + ": " + std::strerror(errno));
}

void OutputFile::write(const void* data, size_t size) { write_at(size_, data, size); }

void OutputFile::write_at(uint64_t offset, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  for (size_t done = 0; done < size;) {
    ssize_t n = pwrite(static_cast<int>(handle_), bytes + done, size - done,
                       static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail("write failed");
    done += static_cast<size_t>(n);
  }
  if (offset + size > size_) size_ = offset + size;
}

void OutputFile::commit() {
  int fd = static_cast<int>(handle_);
  handle_ = -1;
  if (close(fd) != 0) {
    unlink(temp_.c_str());
    fail("write failed");
  }
  // A node put in the output's place while the tool worked is not replaced either.
  try {
    refuse_unless_file(output_);
  } catch (const PackError&) {
    unlink(temp_.c_str());
    throw;
  }
  if (std::rename(temp_.c_str(), output_.c_str()) != 0) {
    int error = errno;
    unlink(temp_.c_str());
    errno = error;
    fail("cannot write");
  }
}

}  // namespace pack
