#include "payload/stamp_rule.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "payload/crc32.h"
#include "payload/entry_index_layout.h"
#include "payload/entry_name.h"
#include "payload/file_write.h"
#include "payload/target_path.h"

namespace {

constexpr uint32_t no_entry = 0xFFFFFFFF;
// Folders are listed by threads beside the main one once there are this many: each listing
// costs several trips to a server under some systems, and requests in flight overlap.
constexpr uint32_t folders_per_lister = 8;
constexpr int lister_count = 2;
constexpr SIZE_T lister_stack_size = 0x10000;
// The files of a folder with no more entries than this are looked up one by one instead:
// on Windows that costs about what one listing does, and under Wine, where a listing takes
// five trips to its server and a lookup none, a twentieth.
constexpr uint32_t files_looked_up_alone = 4;

// The index is little-endian, as is every system the launcher runs on.
uint32_t read_u32(const unsigned char* at) {
  uint32_t value;
  memcpy(&value, at, sizeof value);
  return value;
}

uint64_t read_u64(const unsigned char* at) {
  uint64_t value;
  memcpy(&value, at, sizeof value);
  return value;
}

const unsigned char* entry_at(const StampRule& rule, uint32_t entry) {
  return rule.entries + entry * index_entry_size;
}

uint64_t entry_size(const StampRule& rule, uint32_t entry) {
  return read_u64(entry_at(rule, entry) + index_size_offset);
}

const wchar_t* entry_name(const StampRule& rule, uint32_t entry) {
  return rule.names + read_u32(entry_at(rule, entry) + index_name_offset);
}

uint32_t listed_entry(const StampRule& rule, uint32_t position) {
  return read_u32(rule.listing + position * index_listing_item_size);
}

uint32_t update_crc(uint32_t crc, const void* data, uint64_t length) {
  return crc32_update(crc, data, length);
}

// Its own checksum matches, every count and position lies within it, every name ends
// within it: otherwise the index is not used, and every start takes the CRC-32 path.
bool index_holds_together(StampRule& rule, const unsigned char* index, uint32_t length) {
  if (index == nullptr || length < index_header_size) return false;
  if (read_u32(index + index_own_checksum_offset) !=
      index_own_checksum(index, length, update_crc)) {
    return false;
  }
  uint32_t count = read_u32(index);
  uint32_t units = read_u32(index + 4);
  if (count == 0 || units == 0 || index_length(count, units) > length) return false;
  const unsigned char* name_bytes = index + index_names_at(count);
  if (reinterpret_cast<uintptr_t>(name_bytes) % alignof(wchar_t) != 0) return false;
  if (reinterpret_cast<const wchar_t*>(name_bytes)[units - 1] != 0) return false;
  const unsigned char* entry_bytes = index + index_header_size;
  const unsigned char* listing_bytes = index + index_listing_at(count);
  for (uint32_t i = 0; i < count; ++i) {
    if (read_u32(entry_bytes + i * index_entry_size + index_name_offset) >= units) return false;
    if (read_u32(listing_bytes + i * index_listing_item_size) >= count) return false;
  }
  rule.entries = entry_bytes;
  rule.listing = listing_bytes;
  rule.names = reinterpret_cast<const wchar_t*>(name_bytes);
  rule.entry_count = count;
  return true;
}

// Where the last component of a name starts: after its last backslash.
size_t leaf_start(const wchar_t* name) {
  const wchar_t* slash = wcsrchr(name, L'\\');
  return slash == nullptr ? 0 : static_cast<size_t>(slash - name) + 1;
}

bool in_same_folder(const wchar_t* name, size_t leaf, const wchar_t* other) {
  return leaf_start(other) == leaf && wmemcmp(name, other, leaf) == 0;
}

// The entry among listing positions [first, end), one folder's sorted by their last
// component, whose last component is leaf, or no_entry.
uint32_t find_in_folder(const StampRule& rule, uint32_t first, uint32_t end, size_t leaf_at,
                        const wchar_t* leaf) {
  while (first < end) {
    uint32_t middle = first + (end - first) / 2;
    uint32_t entry = listed_entry(rule, middle);
    int order = index_name_order(entry_name(rule, entry) + leaf_at, leaf);
    if (order == 0) return entry;
    if (order < 0) {
      first = middle + 1;
    } else {
      end = middle;
    }
  }
  return no_entry;
}

bool carries_stamp(const StampRule& rule, DWORD attributes, const FILETIME& written) {
  return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
         written.dwLowDateTime == rule.stamp.dwLowDateTime &&
         written.dwHighDateTime == rule.stamp.dwHighDateTime;
}

// A name that leaves the target directory is never trusted, nor one whose path is too long
// for the path buffer, which the unpack reports.
bool may_be_trusted(const StampRule& rule, const wchar_t* name) {
  return target_path_fits(rule.target_length, name) && is_safe_entry_name(name);
}

void mark_if_size_matches(StampRule& rule, uint32_t entry, DWORD size_high, DWORD size_low) {
  uint64_t size = (static_cast<uint64_t>(size_high) << 32) | size_low;
  if (size == entry_size(rule, entry)) rule.listed_current[entry] = 1;
}

// Path holds the target directory and a backslash; the names follow it. A name that could
// lead elsewhere is not even looked at.
void look_up_files(StampRule& rule, uint32_t first, uint32_t end, wchar_t* path, size_t name_at) {
  for (; first < end; ++first) {
    uint32_t entry = listed_entry(rule, first);
    const wchar_t* name = entry_name(rule, entry);
    if (!may_be_trusted(rule, name)) continue;
    wmemcpy(path + name_at, name, wcslen(name) + 1);
    WIN32_FILE_ATTRIBUTE_DATA found;
    if (GetFileAttributesExW(path, GetFileExInfoStandard, &found) &&
        carries_stamp(rule, found.dwFileAttributes, found.ftLastWriteTime)) {
      mark_if_size_matches(rule, entry, found.nFileSizeHigh, found.nFileSizeLow);
    }
  }
}

// Looks at the files of the folder of the entries at listing positions [first, end).
void list_folder(StampRule& rule, uint32_t first, uint32_t end) {
  const wchar_t* name = entry_name(rule, listed_entry(rule, first));
  size_t leaf_at = leaf_start(name);
  size_t target_length = rule.target_length;
  if (target_length + 1 + leaf_at + 2 > target_path_capacity) return;
  wchar_t pattern[target_path_capacity];
  wmemcpy(pattern, rule.target_directory, target_length);
  pattern[target_length] = L'\\';
  if (end - first <= files_looked_up_alone) {
    look_up_files(rule, first, end, pattern, target_length + 1);
    return;
  }
  wmemcpy(pattern + target_length + 1, name, leaf_at);
  pattern[target_length + 1 + leaf_at] = L'*';
  pattern[target_length + 2 + leaf_at] = 0;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileExW(pattern, FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                 FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (!carries_stamp(rule, found.dwFileAttributes, found.ftLastWriteTime)) continue;
    uint32_t entry = find_in_folder(rule, first, end, leaf_at, found.cFileName);
    if (entry != no_entry && may_be_trusted(rule, entry_name(rule, entry))) {
      mark_if_size_matches(rule, entry, found.nFileSizeHigh, found.nFileSizeLow);
    }
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

// Where each folder's entries start in the listing; false when there is no memory.
bool find_folders(StampRule& rule) {
  uint32_t count = rule.entry_count;
  rule.folder_starts = static_cast<uint32_t*>(malloc((count + 1) * sizeof(uint32_t)));
  if (rule.folder_starts == nullptr) return false;
  for (uint32_t first = 0; first < count;) {
    rule.folder_starts[rule.folder_count++] = first;
    const wchar_t* name = entry_name(rule, listed_entry(rule, first));
    size_t leaf_at = leaf_start(name);
    do {
      ++first;
    } while (first < count &&
             in_same_folder(name, leaf_at, entry_name(rule, listed_entry(rule, first))));
  }
  rule.folder_starts[rule.folder_count] = count;
  return true;
}

// Each entry lies in one folder, so listers never mark the same byte.
DWORD WINAPI list_folders(void* context) {
  StampRule& rule = *static_cast<StampRule*>(context);
  for (;;) {
    LONG folder = InterlockedIncrement(&rule.next_folder) - 1;
    if (folder >= static_cast<LONG>(rule.folder_count)) return 0;
    list_folder(rule, rule.folder_starts[folder], rule.folder_starts[folder + 1]);
  }
}

void list_every_folder(StampRule& rule) {
  HANDLE listers[lister_count];
  int started = 0;
  while (started < lister_count && rule.folder_count >= folders_per_lister * (started + 2)) {
    listers[started] = CreateThread(nullptr, lister_stack_size, list_folders, &rule,
                                    STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (listers[started] == nullptr) break;
    ++started;
  }
  list_folders(&rule);
  if (started == 0) return;
  WaitForMultipleObjects(started, listers, TRUE, INFINITE);
  for (int i = 0; i < started; ++i) CloseHandle(listers[i]);
}

// False when there is no memory for the name.
bool note_stamped(StampRule& rule, uint64_t entry, const wchar_t* name) {
  // Decoded entries agree with the index at their position, so its names are theirs.
  if (rule.given_entries != nullptr) {
    rule.given_entries[entry] = 1;
    return true;
  }
  size_t units = wcslen(name) + 1;
  AcquireSRWLockExclusive(&rule.given_lock);
  bool room = rule.given_units + units <= rule.given_capacity;
  if (!room) {
    size_t capacity = (rule.given_capacity + units) * 2;
    void* grown = realloc(rule.given, capacity * sizeof(wchar_t));
    if (grown != nullptr) {
      rule.given = static_cast<wchar_t*>(grown);
      rule.given_capacity = capacity;
      room = true;
    }
  }
  if (room) {
    wmemcpy(rule.given + rule.given_units, name, units);
    rule.given_units += units;
  }
  ReleaseSRWLockExclusive(&rule.given_lock);
  return room;
}

bool give_time(const wchar_t* path, const FILETIME& time) {
  HANDLE file = CreateFileW(path, FILE_WRITE_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  bool given = SetFileTime(file, nullptr, nullptr, &time) != FALSE;
  return CloseHandle(file) && given;
}

}  // namespace

void use_stamp_rule(StampRule& rule, const wchar_t* target_directory, uint64_t stamp,
                    const unsigned char* index, uint32_t index_length) {
  rule.on = true;
  rule.stamp.dwLowDateTime = static_cast<DWORD>(stamp);
  rule.stamp.dwHighDateTime = static_cast<DWORD>(stamp >> 32);
  rule.target_directory = target_directory;
  rule.target_length = wcslen(target_directory);
  if (index_holds_together(rule, index, index_length)) {
    rule.given_entries = static_cast<unsigned char*>(calloc(rule.entry_count, 1));
    // Without the memory, stamps are noted by name.
  }
}

bool every_file_is_stamped(StampRule& rule, wchar_t* child_path) {
  if (rule.entry_count == 0) return false;
  // A first start: nothing to list, and each folder's failed listing would cost a trip.
  if (GetFileAttributesW(rule.target_directory) == INVALID_FILE_ATTRIBUTES) return false;
  rule.listed_current = static_cast<unsigned char*>(calloc(rule.entry_count, 1));
  if (rule.listed_current == nullptr || !find_folders(rule)) return false;
  list_every_folder(rule);
  for (uint32_t entry = 0; entry < rule.entry_count; ++entry) {
    if (!rule.listed_current[entry]) return false;
  }
  // Trusted names fit: the first entry's path is built whole.
  return build_target_path(child_path, rule.target_directory, rule.target_length,
                           entry_name(rule, 0));
}

bool listed_as_current(const StampRule& rule, uint64_t entry) {
  return rule.listed_current != nullptr && entry < rule.entry_count &&
         rule.listed_current[entry] != 0;
}

bool index_agrees(const StampRule& rule, uint64_t entry, const wchar_t* name, uint64_t size,
                  uint32_t stored_checksum) {
  if (rule.entries == nullptr) return true;
  if (entry >= rule.entry_count) return false;
  uint32_t at = static_cast<uint32_t>(entry);
  return entry_size(rule, at) == size &&
         read_u32(entry_at(rule, at) + index_checksum_offset) == stored_checksum &&
         wcscmp(entry_name(rule, at), name) == 0;
}

bool index_count_agrees(const StampRule& rule, uint64_t count) {
  return rule.entries == nullptr || count == rule.entry_count;
}

DWORD stamp_written_file(StampRule& rule, HANDLE file, uint64_t entry, const wchar_t* name) {
  if (!rule.on || !note_stamped(rule, entry, name)) return ERROR_SUCCESS;
  if (SetFileTime(file, nullptr, nullptr, &rule.stamp)) return ERROR_SUCCESS;
  DWORD error = GetLastError();
  return error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT;
}

DWORD close_stamped_file(StampRule& rule, HANDLE file, uint64_t entry, const wchar_t* name,
                         const wchar_t* path) {
  DWORD error = stamp_written_file(rule, file, entry, name);
  DWORD closed = close_written_file(file);
  if (error != ERROR_SUCCESS || closed == ERROR_SUCCESS) return error;
  take_back_stamp(rule, path);
  return closed;
}

void take_back_stamp(const StampRule& rule, const wchar_t* path) {
  if (!rule.on) return;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  // A file that keeps the stamp would be kept by it: it goes instead.
  if (!give_time(path, now)) DeleteFileW(path);
}

void take_back_stamps(StampRule& rule) {
  wchar_t path[target_path_capacity];
  for (uint32_t entry = 0; rule.given_entries != nullptr && entry < rule.entry_count; ++entry) {
    if (rule.given_entries[entry] != 0 &&
        build_target_path(path, rule.target_directory, rule.target_length,
                          entry_name(rule, entry))) {
      take_back_stamp(rule, path);
    }
  }
  for (size_t at = 0; at < rule.given_units; at += wcslen(rule.given + at) + 1) {
    if (build_target_path(path, rule.target_directory, rule.target_length, rule.given + at)) {
      take_back_stamp(rule, path);
    }
  }
}
