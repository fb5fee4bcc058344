#include "payload/file_checksum.h"

#include <windows.h>

#include "payload/crc32.h"
#include "payload/held_file.h"

namespace {

constexpr uint64_t any_size = ~0ull;

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

// An empty entry is current by its size alone, which a link has too: only then do its
// attributes cost a call.
bool is_plain_file(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION information;
  return GetFileInformationByHandle(file, &information) &&
         (information.dwFileAttributes &
          (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

HANDLE open_to_read(const wchar_t* path, DWORD access) {
  // Other readers and writers stay admitted: the file is only looked at. A link is looked
  // at itself where the system allows (Windows): it holds no data, so it is never current,
  // and is replaced when written (payload/file_replacement.h).
  return CreateFileW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// A file found to hold the entry gets the stamp through the handle that read it.
void restamp_if_current(HANDLE file, uint32_t crc, Restamp* restamp) {
  if (restamp != nullptr && crc != 0 && crc == restamp->checksum) {
    restamp->done = SetFileTime(file, nullptr, nullptr, &restamp->time) != FALSE;
  }
}

// *found_size is the file's size once it could be opened. A file of another size than
// expected is not read; an empty one cannot be mapped and counts as unusable.
uint32_t crc32_of_file_once(const wchar_t* path, uint64_t expected_size,
                            const ChecksumScratch& scratch, uint64_t* found_size,
                            Restamp* restamp) {
  HANDLE file = INVALID_HANDLE_VALUE;
  if (restamp != nullptr) file = open_to_read(path, GENERIC_READ | FILE_WRITE_ATTRIBUTES);
  if (file == INVALID_HANDLE_VALUE) file = open_to_read(path, GENERIC_READ);
  if (file == INVALID_HANDLE_VALUE) return 0;
  // The whole 64-bit size: files of 4 GiB and more are checksummed over all their bytes.
  LARGE_INTEGER size;
  uint32_t crc = 0;
  if (GetFileSizeEx(file, &size) && (size.QuadPart != 0 || is_plain_file(file))) {
    *found_size = static_cast<uint64_t>(size.QuadPart);
    bool wanted = expected_size == any_size || expected_size == *found_size;
    if (wanted && *found_size > 0) crc = crc32_of_content(file, *found_size, scratch);
    if (wanted) restamp_if_current(file, crc, restamp);
  }
  CloseHandle(file);
  return crc;
}

uint32_t crc32_of_file_sized(const wchar_t* path, uint64_t expected_size,
                             const ChecksumScratch& scratch, uint64_t* found_size,
                             Restamp* restamp = nullptr) {
  for (;;) {
    *found_size = any_size;
    // A failure that sets no error of its own (an empty file) is never retried.
    SetLastError(ERROR_SUCCESS);
    uint32_t crc = crc32_of_file_once(path, expected_size, scratch, found_size, restamp);
    if (crc != 0 || !wait_for_held_file(*scratch.waits_left)) return crc;
  }
}

}  // namespace

uint32_t crc32_of_file(const wchar_t* path, const ChecksumScratch& scratch) {
  uint64_t found_size;
  return crc32_of_file_sized(path, any_size, scratch, &found_size);
}

FileDecision check_file(ReuseRule rule, const wchar_t* path, uint64_t size,
                        uint32_t stored_checksum, const ChecksumScratch& scratch,
                        Restamp* restamp) {
  uint64_t found_size;
  if (restamp != nullptr) restamp->checksum = stored_checksum;
  uint32_t existing = crc32_of_file_sized(path, size, scratch, &found_size, restamp);
  FoundFile found = {FoundKind::file, found_size, false, false, false, existing};
  if (found_size == any_size) {
    DWORD error = GetLastError();
    bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    found.kind = missing ? FoundKind::nothing : FoundKind::not_a_file;
  }
  // Only a file of the entry's size was read.
  found.checksum_read = found_size == size && size > 0;
  return decide_file(rule, size, stored_checksum, found);
}
