#include "payload/stamp_listing.h"

#include <cstdlib>
#include <cwchar>

#include "payload/entry_index_layout.h"
#include "payload/entry_name.h"
#include "payload/file_decision.h"
#include "payload/stamp_record.h"
#include "payload/stray_census.h"
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

// The name of the entry at a position of the listing.
const wchar_t* listed_name(const StampRule& rule, uint32_t position) {
  return indexed_entry_name(rule.index, indexed_listing_entry(rule.index, position));
}

bool in_same_folder(const wchar_t* name, size_t leaf, const wchar_t* other) {
  return entry_folder_length(other) == leaf && wmemcmp(name, other, leaf) == 0;
}

// The entry among listing positions [first, end), one folder's sorted by their last
// component, whose last component is leaf, or no_entry.
uint32_t find_in_folder(const StampRule& rule, uint32_t first, uint32_t end, size_t leaf_at,
                        const wchar_t* leaf) {
  while (first < end) {
    uint32_t middle = first + (end - first) / 2;
    uint32_t entry = indexed_listing_entry(rule.index, middle);
    int order = index_name_order(indexed_entry_name(rule.index, entry) + leaf_at, leaf);
    if (order == 0) return entry;
    if (order < 0) {
      first = middle + 1;
    } else {
      end = middle;
    }
  }
  return no_entry;
}

bool carries_stamp(const StampRule& rule, const FILETIME& written) {
  return written.dwLowDateTime == rule.stamp.dwLowDateTime &&
         written.dwHighDateTime == rule.stamp.dwHighDateTime;
}

// A name that leaves the target directory is never trusted, nor one whose path is too long
// for the path buffer, which the unpack reports.
bool may_be_trusted(const StampRule& rule, const wchar_t* name) {
  return target_path_fits(rule.target_length, name) && is_safe_entry_name(name);
}

uint64_t time_value(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// A file that carries the stamp is decided on at once. Of any other, only the time is noted,
// for a record to keep it by (mark_by_record); what neither keeps is read for its CRC-32 later.
void note_listed(StampRule& rule, uint32_t entry, DWORD attributes, const FILETIME& written,
                 DWORD size_high, DWORD size_low) {
  bool plain = (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
  uint64_t size = (static_cast<uint64_t>(size_high) << 32) | size_low;
  if (!carries_stamp(rule, written)) {
    if (plain && rule.listed_times != nullptr && size == indexed_entry_size(rule.index, entry)) {
      rule.listed_times[entry] = time_value(written);
    }
    return;
  }
  FoundFile found = {plain ? FoundKind::file : FoundKind::not_a_file, size, true, false, false, 0};
  FileDecision decision = decide_file(rule.reuse, indexed_entry_size(rule.index, entry),
                                      indexed_entry_checksum(rule.index, entry), found);
  if (is_kept(decision)) rule.listed_current[entry] = listed_by_stamp;
}

// Whether a file's time matters without the stamp: only when a record may keep it.
bool worth_finding(const StampRule& rule, const FILETIME& written) {
  return rule.listed_times != nullptr || carries_stamp(rule, written);
}

// Path holds the target directory and a backslash; the names follow it. A name that could
// lead elsewhere is not even looked at.
void look_up_files(StampRule& rule, uint32_t first, uint32_t end, wchar_t* path, size_t name_at) {
  for (; first < end; ++first) {
    uint32_t entry = indexed_listing_entry(rule.index, first);
    const wchar_t* name = indexed_entry_name(rule.index, entry);
    if (!may_be_trusted(rule, name)) continue;
    wmemcpy(path + name_at, name, wcslen(name) + 1);
    WIN32_FILE_ATTRIBUTE_DATA found;
    if (GetFileAttributesExW(path, GetFileExInfoStandard, &found) &&
        worth_finding(rule, found.ftLastWriteTime)) {
      note_listed(rule, entry, found.dwFileAttributes, found.ftLastWriteTime, found.nFileSizeHigh,
                  found.nFileSizeLow);
    }
  }
}

// Opens the listing of the folder whose name below the target is the first folder_length
// units of name.
HANDLE open_listing(const StampRule& rule, const wchar_t* name, size_t folder_length,
                    WIN32_FIND_DATAW& found) {
  size_t target_length = rule.target_length;
  if (target_length + 1 + folder_length + 2 > target_path_capacity) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return INVALID_HANDLE_VALUE;
  }
  wchar_t pattern[target_path_capacity];
  wmemcpy(pattern, rule.target_directory, target_length);
  pattern[target_length] = L'\\';
  wmemcpy(pattern + target_length + 1, name, folder_length);
  pattern[target_length + 1 + folder_length] = L'*';
  pattern[target_length + 2 + folder_length] = 0;
  return FindFirstFileExW(pattern, FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                          FIND_FIRST_EX_LARGE_FETCH);
}

// Looks at the files of listing folder `folder`: its entries are at listing positions
// [first, end). With a census, every folder is listed and every name it holds looked at.
void list_folder(StampRule& rule, uint32_t folder) {
  uint32_t first = rule.folder_starts[folder], end = rule.folder_starts[folder + 1];
  const wchar_t* name = listed_name(rule, first);
  size_t leaf_at = entry_folder_length(name);
  size_t target_length = rule.target_length;
  if (rule.census == nullptr && end - first <= files_looked_up_alone) {
    wchar_t path[target_path_capacity];
    wmemcpy(path, rule.target_directory, target_length);
    path[target_length] = L'\\';
    look_up_files(rule, first, end, path, target_length + 1);
    return;
  }
  WIN32_FIND_DATAW found;
  HANDLE find = open_listing(rule, name, leaf_at, found);
  if (find == INVALID_HANDLE_VALUE) {
    if (rule.census != nullptr) census_listing_failed(*rule.census, GetLastError());
    return;
  }
  do {
    bool worth = worth_finding(rule, found.ftLastWriteTime);
    if (!worth && rule.census == nullptr) continue;
    uint32_t entry = find_in_folder(rule, first, end, leaf_at, found.cFileName);
    if (rule.census != nullptr) census_found(rule, folder, found, entry != no_entry);
    if (worth && entry != no_entry && may_be_trusted(rule, indexed_entry_name(rule.index, entry))) {
      note_listed(rule, entry, found.dwFileAttributes, found.ftLastWriteTime, found.nFileSizeHigh,
                  found.nFileSizeLow);
    }
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

// A folder of the census that holds only folders: nothing in it is a file of the build.
void list_census_folder(StampRule& rule, uint32_t folder) {
  StrayCensus& census = *rule.census;
  WIN32_FIND_DATAW found;
  HANDLE find =
      open_listing(rule, census.folders[folder].name, census.folders[folder].length, found);
  if (find == INVALID_HANDLE_VALUE) {
    census_listing_failed(census, GetLastError());
    return;
  }
  do {
    census_found(rule, folder, found, false);
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

// Where each folder's entries start in the listing; false when there is no memory.
bool find_folders(StampRule& rule) {
  uint32_t count = rule.index.entry_count;
  rule.folder_starts = static_cast<uint32_t*>(malloc((count + 1) * sizeof(uint32_t)));
  if (rule.folder_starts == nullptr) return false;
  for (uint32_t first = 0; first < count;) {
    rule.folder_starts[rule.folder_count++] = first;
    const wchar_t* name = listed_name(rule, first);
    size_t leaf_at = entry_folder_length(name);
    do {
      ++first;
    } while (first < count && in_same_folder(name, leaf_at, listed_name(rule, first)));
  }
  rule.folder_starts[rule.folder_count] = count;
  return true;
}

// The listing's folders, then the census's folders that hold no files.
uint32_t folders_to_list(const StampRule& rule) {
  return rule.census != nullptr ? rule.census->count : rule.folder_count;
}

// Each entry lies in one folder, so listers never mark the same byte.
DWORD WINAPI list_folders(void* context) {
  StampRule& rule = *static_cast<StampRule*>(context);
  LONG count = static_cast<LONG>(folders_to_list(rule));
  for (;;) {
    LONG folder = InterlockedIncrement(&rule.next_folder) - 1;
    if (folder >= count) return 0;
    if (folder < static_cast<LONG>(rule.folder_count)) {
      list_folder(rule, static_cast<uint32_t>(folder));
    } else {
      list_census_folder(rule, static_cast<uint32_t>(folder));
    }
  }
}

void list_every_folder(StampRule& rule) {
  HANDLE listers[lister_count];
  int started = 0;
  while (started < lister_count && folders_to_list(rule) >= folders_per_lister * (started + 2)) {
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

bool every_file_listed(const StampRule& rule) {
  for (uint32_t entry = 0; entry < rule.index.entry_count; ++entry) {
    if (!rule.listed_current[entry]) return false;
  }
  return true;
}

// Files the stamps did not keep, kept by the record where they carry the time it names.
void mark_by_record(StampRule& rule) {
  for (uint32_t entry = 0; entry < rule.index.entry_count; ++entry) {
    if (rule.listed_current[entry] || rule.listed_times[entry] == 0) continue;
    FoundFile found = {FoundKind::file, indexed_entry_size(rule.index, entry),
                       false,           rule.listed_times[entry] == rule.carried[entry],
                       false,           0};
    FileDecision decision = decide_file(rule.reuse, indexed_entry_size(rule.index, entry),
                                        indexed_entry_checksum(rule.index, entry), found);
    if (is_kept(decision)) rule.listed_current[entry] = listed_by_record;
  }
}

}  // namespace

bool every_file_is_stamped(StampRule& rule, wchar_t* child_path) {
  if (rule.index.entry_count == 0) return false;
  // A first start: nothing to list, and each folder's failed listing would cost a trip.
  if (GetFileAttributesW(rule.target_directory) == INVALID_FILE_ATTRIBUTES) return false;
  rule.listed_current = static_cast<unsigned char*>(calloc(rule.index.entry_count, 1));
  if (rule.listed_current == nullptr || !find_folders(rule)) return false;
  if (rule.counts_strays) rule.census = plan_stray_census(rule);
  if (rule.record_path != nullptr || rule.carried != nullptr) {
    rule.listed_times = static_cast<uint64_t*>(calloc(rule.index.entry_count, sizeof(uint64_t)));
  }
  list_every_folder(rule);
  if (!every_file_listed(rule) && rule.listed_times != nullptr &&
      (rule.carried != nullptr || use_stamp_record(rule, rule.record_path, rule.record_id))) {
    mark_by_record(rule);
  }
  if (!every_file_listed(rule)) return false;
  // Trusted names fit: the first entry's path is built whole.
  return build_target_path(child_path, rule.target_directory, rule.target_length,
                           indexed_entry_name(rule.index, 0));
}

bool listed_as_current(const StampRule& rule, uint64_t entry) {
  return rule.listed_current != nullptr && entry < rule.index.entry_count &&
         rule.listed_current[entry] != 0;
}
