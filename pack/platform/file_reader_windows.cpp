#include <windows.h>

#include <algorithm>

#include "pack/pack_error.h"
#include "pack/platform/file_reader.h"
#include "pack/platform/windows_error.h"

namespace pack {
namespace {

HANDLE handle_of(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

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

size_t FileReader::read_at(unsigned char* data, size_t want, uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  DWORD piece = static_cast<DWORD>(std::min<size_t>(want, 1u << 30));
  if (!ReadFile(handle_of(handle_), data, piece, &got, &at) && GetLastError() != ERROR_HANDLE_EOF) {
    fail("read failed: " + last_error_text());
  }
  return got;
}

}  // namespace pack
