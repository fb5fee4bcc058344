#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace pack {

// The output is written to one temporary file beside it, which reaches the output's
// name by one rename on the same file system. Until commit() the output keeps its old
// content; the temporary file goes away with the object, or when the process is
// interrupted. A temporary file that a killed run left behind is replaced by the next
// run for the same output.
class OutputFile {
 public:
  explicit OutputFile(const std::filesystem::path& output);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Appends at the end.
  void write(const void* data, size_t size);
  // Overwrites bytes already written.
  void write_at(uint64_t offset, const void* data, size_t size);
  uint64_t size() const { return size_; }
  void commit();

 private:
  [[noreturn]] void fail(const char* what) const;

  std::filesystem::path output_;
  std::filesystem::path temp_;
  intptr_t handle_ = -1;  // a file descriptor, or a Windows HANDLE
  uint64_t size_ = 0;
};

// The temporary file's name for an output: hidden, beside it.
std::filesystem::path temporary_output_path(const std::filesystem::path& output);

// Checks the output before any work: its folder, if there, is a folder, and it is not
// a folder itself nor any other node than a file (or a link to one).
void check_output_path(const std::filesystem::path& output);

// Throws PackError ("'/x/y' is a FIFO, not a file") when something other than a file, or
// a link to one, lies at path. The tool writes only through files: a FIFO, a device or a
// socket is never opened for writing nor replaced by a rename.
void refuse_unless_file(const std::filesystem::path& path);

}  // namespace pack
