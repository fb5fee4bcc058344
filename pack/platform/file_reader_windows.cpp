#include <windows.h>

#include <algorithm>

#include "pack/pack_error.h"
#include "pack/platform/file_reader.h"
#include "pack/platform/windows_error.h"

namespace pack {
namespace {

HANDLE handle_of(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// Reads up to size bytes at offset; returns how many, 0 at the end of the file.
DWORD read_at(intptr_t handle, unsigned char* data, size_t size, uint64_t offset, bool& failed) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  DWORD want = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
  failed =
      !ReadFile(handle_of(handle), data, want, &got, &at) && GetLastError() != ERROR_HANDLE_EOF;
  return got;
}

}  // namespace

FileReader::FileReader(const std::filesystem::path& path, uint64_t expected_size)
    : path_(path), size_(expected_size) {
  HANDLE file = CreateFileW(windows_path(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  handle_ = file == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<intptr_t>(file);
  if (handle_ == -1) fail("cannot read: " + last_error_text());
}

FileReader::~FileReader() {
  if (handle_ != -1) CloseHandle(handle_of(handle_));
}

void FileReader::fail(const std::string& reason) const {
  throw PackError(path_.u8string() + ": " + reason);
}

size_t FileReader::fill(unsigned char* data, size_t want, uint64_t offset) {
  size_t filled = 0;
  while (filled < want) {
    bool failed = false;
    DWORD got = read_at(handle_, data + filled, want - filled, offset + filled, failed);
    if (failed) fail("read failed: " + last_error_text());
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
  bool failed = false;
  if (read_at(handle_, &probe, 1, offset, failed) > 0) {
    fail("file became longer while it was packed");
  }
}

}  // namespace pack
