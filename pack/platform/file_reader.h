#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <istream>
#include <vector>

namespace pack {

// Reads one file of known size in chunks through a shared buffer. Any read error, or a
// size that differs from the one scanned, throws PackError naming the file.
class FileReader {
 public:
  FileReader(const std::filesystem::path& path, uint64_t expected_size);
  ~FileReader();
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  using ChunkHandler = std::function<void(const unsigned char* data, size_t size)>;

  // Hands the whole file to handler from its first byte, in full buffers (the last one
  // may be shorter), so a file no larger than the buffer arrives in one call.
  void read_all(std::vector<unsigned char>& buffer, const ChunkHandler& handler);

 private:
  [[noreturn]] void fail(const std::string& reason) const;
  // One read of at most want bytes at offset: how many arrived, 0 at the end of the file.
  // Platform code; a read error fails.
  size_t read_at(unsigned char* data, size_t want, uint64_t offset);
  size_t fill(unsigned char* data, size_t want, uint64_t offset);

  std::filesystem::path path_;
  uint64_t size_;
  intptr_t handle_;  // a file descriptor, or a Windows HANDLE
};

// Up to size bytes of a stream from offset: fewer when the stream ends first. The stream
// is left ready for the next read.
std::vector<unsigned char> read_range(std::istream& in, uint64_t offset, uint64_t size);

}  // namespace pack
