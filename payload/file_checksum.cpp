#include "payload/file_checksum.h"

#include <windows.h>

#include "payload/crc32.h"
#include "payload/held_file.h"

namespace {

// Small files are read whole in one call; under Wine a mapping costs several more trips
// to the server than the read, which outweighs the copy up to a few hundred KiB.
constexpr uint64_t read_limit = 256 * 1024;
unsigned char read_buffer[read_limit];

// CRC-32 of a small file's content, or 0 when it ends short of the size read before.
uint32_t crc32_by_reading(HANDLE file, uint64_t size, unsigned char* buffer) {
  DWORD got = 0;
  if (!ReadFile(file, buffer, static_cast<DWORD>(size), &got, nullptr) || got != size) return 0;
  uint32_t crc = crc32_buffer(buffer, size);
  return crc != 0 ? crc : 1;
}

// CRC-32 of the mapped content of an open file, or 0 when it cannot be mapped.
uint32_t crc32_of_handle(HANDLE file, uint64_t size) {
  // The mapping is asked for exactly the size read before: a file that another process
  // truncated in between then fails to map instead of ending short of the bytes read.
  HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, static_cast<DWORD>(size >> 32),
                                      static_cast<DWORD>(size), nullptr);
  if (mapping == nullptr) return 0;
  const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  if (view == nullptr) {
    CloseHandle(mapping);
    return 0;
  }
  uint32_t crc = crc32_buffer(view, size);
  UnmapViewOfFile(view);
  CloseHandle(mapping);
  return crc != 0 ? crc : 1;
}

uint32_t crc32_of_content(HANDLE file, uint64_t size, const ChecksumScratch& scratch) {
  return size <= scratch.capacity ? crc32_by_reading(file, size, scratch.buffer)
                                  : crc32_of_handle(file, size);
}

uint32_t crc32_of_file_once(const wchar_t* path, const ChecksumScratch& scratch) {
  // Other readers and writers stay admitted: the file is only looked at.
  HANDLE file =
      CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  // The whole 64-bit size: files of 4 GiB and more are checksummed over all their bytes.
  LARGE_INTEGER size;
  // An empty file cannot be mapped and counts as unusable.
  uint32_t crc = GetFileSizeEx(file, &size) && size.QuadPart > 0
                     ? crc32_of_content(file, static_cast<uint64_t>(size.QuadPart), scratch)
                     : 0;
  CloseHandle(file);
  return crc;
}

// An empty file cannot be mapped, so its checksum reads as unusable; check it apart so
// that empty entries, too, are left alone on later starts.
bool is_empty_file(const wchar_t* path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  return GetFileAttributesExW(path, GetFileExInfoStandard, &data) &&
         (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && data.nFileSizeHigh == 0 &&
         data.nFileSizeLow == 0;
}

const ChecksumScratch main_thread_scratch = {read_buffer, read_limit, nullptr};

}  // namespace

uint32_t crc32_of_file(const wchar_t* path, const ChecksumScratch& scratch) {
  for (;;) {
    // A failure that sets no error of its own (an empty file) is never retried.
    SetLastError(ERROR_SUCCESS);
    uint32_t crc = crc32_of_file_once(path, scratch);
    if (crc != 0 || !wait_for_held_file(scratch.waits_left)) return crc;
  }
}

uint32_t crc32_of_file(const wchar_t* path) { return crc32_of_file(path, main_thread_scratch); }

bool file_is_current(const wchar_t* path, uint64_t size, uint32_t stored_checksum,
                     const ChecksumScratch& scratch) {
  uint32_t existing = crc32_of_file(path, scratch);
  // 0 means missing or unusable: such a file is written whatever checksum is stored,
  // so that an entry stored with 0 is created rather than skipped.
  if (existing != 0) return existing == stored_checksum;
  return size == 0 && is_empty_file(path);
}

bool file_is_current(const wchar_t* path, uint64_t size, uint32_t stored_checksum) {
  return file_is_current(path, size, stored_checksum, main_thread_scratch);
}
