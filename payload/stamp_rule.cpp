#include "payload/stamp_rule.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "launcher/launch_state.h"
#include "paths/directories.h"
#include "payload/entry_index_layout.h"
#include "payload/entry_name.h"

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

bool by_stamp = false;
FILETIME stamp_time;

// The index, once its counts are known to hold within its length.
uint32_t entry_count = 0;
const unsigned char* entries = nullptr;
const unsigned char* listing = nullptr;
const wchar_t* names = nullptr;

// One byte per entry: set when the listing found its file current; and where each folder's
// entries start in the listing, the last start being entry_count. Allocated once.
unsigned char* listed_current = nullptr;
uint32_t* folder_starts = nullptr;
uint32_t folder_count = 0;
volatile LONG next_folder = 0;
size_t target_length = 0;

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

const unsigned char* entry_at(uint32_t entry) { return entries + entry * index_entry_size; }

uint64_t entry_size(uint32_t entry) { return read_u64(entry_at(entry) + index_size_offset); }

const wchar_t* entry_name(uint32_t entry) {
  return names + read_u32(entry_at(entry) + index_name_offset);
}

uint32_t listed_entry(uint32_t position) {
  return read_u32(listing + position * index_listing_item_size);
}

// Every count and position within the index, every name ended within it: otherwise the
// index is not used, and every start takes the full path.
// The entries, listing and names are set only then.
bool index_holds_together(const unsigned char* index, uint32_t length) {
  if (index == nullptr || length < index_header_size) return false;
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
  entries = entry_bytes;
  listing = listing_bytes;
  names = reinterpret_cast<const wchar_t*>(name_bytes);
  entry_count = count;
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
uint32_t find_in_folder(uint32_t first, uint32_t end, size_t leaf_at, const wchar_t* leaf) {
  while (first < end) {
    uint32_t middle = first + (end - first) / 2;
    uint32_t entry = listed_entry(middle);
    int order = index_name_order(entry_name(entry) + leaf_at, leaf);
    if (order == 0) return entry;
    if (order < 0) {
      first = middle + 1;
    } else {
      end = middle;
    }
  }
  return no_entry;
}

bool fits_below_target(const wchar_t* name) {
  return target_length + 1 + wcslen(name) < file_path_capacity;
}

bool carries_stamp(DWORD attributes, const FILETIME& written) {
  return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
         written.dwLowDateTime == stamp_time.dwLowDateTime &&
         written.dwHighDateTime == stamp_time.dwHighDateTime;
}

// A name that leaves the target directory is never trusted, nor one whose path is too long
// for the full path, which reports it.
bool may_be_trusted(const wchar_t* name) {
  return fits_below_target(name) && is_safe_entry_name(name);
}

void mark_if_size_matches(uint32_t entry, DWORD size_high, DWORD size_low) {
  uint64_t size = (static_cast<uint64_t>(size_high) << 32) | size_low;
  if (size == entry_size(entry)) listed_current[entry] = 1;
}

// Path holds the target directory and a backslash; the names follow it. A name that could
// lead elsewhere is not even looked at.
void look_up_files(uint32_t first, uint32_t end, wchar_t* path, size_t name_at) {
  for (; first < end; ++first) {
    uint32_t entry = listed_entry(first);
    const wchar_t* name = entry_name(entry);
    if (!may_be_trusted(name)) continue;
    wmemcpy(path + name_at, name, wcslen(name) + 1);
    WIN32_FILE_ATTRIBUTE_DATA found;
    if (GetFileAttributesExW(path, GetFileExInfoStandard, &found) &&
        carries_stamp(found.dwFileAttributes, found.ftLastWriteTime)) {
      mark_if_size_matches(entry, found.nFileSizeHigh, found.nFileSizeLow);
    }
  }
}

// Looks at the files of the folder of the entries at listing positions [first, end).
void list_folder(uint32_t first, uint32_t end) {
  const wchar_t* name = entry_name(listed_entry(first));
  size_t leaf_at = leaf_start(name);
  if (target_length + 1 + leaf_at + 2 > file_path_capacity) return;
  wchar_t pattern[file_path_capacity];
  wmemcpy(pattern, target_directory, target_length);
  pattern[target_length] = L'\\';
  if (end - first <= files_looked_up_alone) {
    look_up_files(first, end, pattern, target_length + 1);
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
    if (!carries_stamp(found.dwFileAttributes, found.ftLastWriteTime)) continue;
    uint32_t entry = find_in_folder(first, end, leaf_at, found.cFileName);
    if (entry != no_entry && may_be_trusted(entry_name(entry))) {
      mark_if_size_matches(entry, found.nFileSizeHigh, found.nFileSizeLow);
    }
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

// Where each folder's entries start in the listing; false when there is no memory.
bool find_folders() {
  folder_starts = static_cast<uint32_t*>(malloc((entry_count + 1) * sizeof(uint32_t)));
  if (folder_starts == nullptr) return false;
  for (uint32_t first = 0; first < entry_count;) {
    folder_starts[folder_count++] = first;
    const wchar_t* name = entry_name(listed_entry(first));
    size_t leaf_at = leaf_start(name);
    do {
      ++first;
    } while (first < entry_count && in_same_folder(name, leaf_at, entry_name(listed_entry(first))));
  }
  folder_starts[folder_count] = entry_count;
  return true;
}

// Each entry lies in one folder, so listers never mark the same byte.
DWORD WINAPI list_folders(void*) {
  for (;;) {
    LONG folder = InterlockedIncrement(&next_folder) - 1;
    if (folder >= static_cast<LONG>(folder_count)) return 0;
    list_folder(folder_starts[folder], folder_starts[folder + 1]);
  }
}

void list_every_folder() {
  HANDLE listers[lister_count];
  int started = 0;
  while (started < lister_count && folder_count >= folders_per_lister * (started + 2)) {
    listers[started] = CreateThread(nullptr, lister_stack_size, list_folders, nullptr,
                                    STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (listers[started] == nullptr) break;
    ++started;
  }
  list_folders(nullptr);
  if (started == 0) return;
  WaitForMultipleObjects(started, listers, TRUE, INFINITE);
  for (int i = 0; i < started; ++i) CloseHandle(listers[i]);
}

}  // namespace

void use_stamp_rule(uint64_t stamp, const unsigned char* index, uint32_t index_length) {
  by_stamp = true;
  stamp_time.dwLowDateTime = static_cast<DWORD>(stamp);
  stamp_time.dwHighDateTime = static_cast<DWORD>(stamp >> 32);
  index_holds_together(index, index_length);
}

bool every_file_is_stamped() {
  if (entry_count == 0) return false;
  // A first start: nothing to list, and each folder's failed listing would cost a trip.
  if (GetFileAttributesW(target_directory) == INVALID_FILE_ATTRIBUTES) return false;
  target_length = wcslen(target_directory);
  listed_current = static_cast<unsigned char*>(calloc(entry_count, 1));
  if (listed_current == nullptr || !find_folders()) return false;
  list_every_folder();
  for (uint32_t entry = 0; entry < entry_count; ++entry) {
    if (!listed_current[entry]) return false;
  }
  build_target_file_path(child_executable_path, entry_name(0));
  return true;
}

bool listed_as_current(uint64_t entry, const wchar_t* name, uint64_t size) {
  if (listed_current == nullptr || entry >= entry_count || !listed_current[entry]) return false;
  uint32_t at = static_cast<uint32_t>(entry);
  return entry_size(at) == size && wcscmp(entry_name(at), name) == 0;
}

void stamp_written_file(HANDLE file) {
  if (by_stamp) SetFileTime(file, nullptr, nullptr, &stamp_time);
}
