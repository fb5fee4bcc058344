#include "payload/stray_census.h"

#include <cstdlib>
#include <cwchar>

#include "payload/entry_name.h"
#include "payload/stamp_rule.h"
#include "payload/target_path.h"

namespace {

CensusFolder listing_folder(const StampRule& rule, uint32_t folder) {
  uint32_t entry = indexed_listing_entry(rule.index, rule.folder_starts[folder]);
  const wchar_t* name = indexed_entry_name(rule.index, entry);
  return CensusFolder{name, static_cast<uint32_t>(entry_folder_length(name))};
}

bool starts_with(const CensusFolder& folder, const wchar_t* prefix, size_t length) {
  return folder.length >= length && wmemcmp(folder.name, prefix, length) == 0;
}

// Counts, and adds where out is given, the folders above `folder` that the one before it in
// the listing does not lie in. The listing orders folders by their names' units, so the
// folders within one follow it directly: each folder above is found once, and one that holds
// files is found as itself.
uint32_t add_folders_above(const CensusFolder* before, CensusFolder folder, CensusFolder* out) {
  uint32_t added = 0;
  for (uint32_t length = 0; length < folder.length; ++length) {
    bool ends_a_folder = length == 0 || folder.name[length - 1] == L'\\';
    if (!ends_a_folder || (before != nullptr && starts_with(*before, folder.name, length))) {
      continue;
    }
    if (out != nullptr) out[added] = CensusFolder{folder.name, length};
    ++added;
  }
  return added;
}

uint32_t count_folders_above(const StampRule& rule, CensusFolder* out) {
  uint32_t added = 0;
  for (uint32_t folder = 0; folder < rule.folder_count; ++folder) {
    CensusFolder before = folder == 0 ? CensusFolder{} : listing_folder(rule, folder - 1);
    added += add_folders_above(folder == 0 ? nullptr : &before, listing_folder(rule, folder),
                               out == nullptr ? nullptr : out + added);
  }
  return added;
}

// Whether a folder of the build is key or lies below it (key_length units, its backslash
// included): then the first listing folder not before key in the units' order starts with it.
bool holds_folder(const StampRule& rule, const wchar_t* key, size_t key_length) {
  uint32_t first = 0, end = rule.folder_count;
  while (first < end) {
    uint32_t middle = first + (end - first) / 2;
    CensusFolder folder = listing_folder(rule, middle);
    size_t common = folder.length < key_length ? folder.length : key_length;
    int order = wmemcmp(folder.name, key, common);
    if (order < 0 || (order == 0 && folder.length < key_length)) {
      first = middle + 1;
    } else {
      end = middle;
    }
  }
  return first < rule.folder_count && starts_with(listing_folder(rule, first), key, key_length);
}

// A name found in the listing in another letter case than the index's is not matched here;
// it only costs the folder a second look.
bool holds_subfolder(const StampRule& rule, const CensusFolder& parent, const wchar_t* name) {
  size_t name_length = wcslen(name);
  size_t key_length = parent.length + name_length + 1;
  if (key_length >= target_path_capacity) return false;
  wchar_t key[target_path_capacity];
  wmemcpy(key, parent.name, parent.length);
  wmemcpy(key + parent.length, name, name_length);
  key[key_length - 1] = L'\\';
  return holds_folder(rule, key, key_length);
}

}  // namespace

StrayCensus* plan_stray_census(const StampRule& rule) {
  uint32_t count = rule.folder_count + count_folders_above(rule, nullptr);
  StrayCensus* census = static_cast<StrayCensus*>(calloc(1, sizeof(StrayCensus)));
  if (census == nullptr) return nullptr;
  census->folders = static_cast<CensusFolder*>(malloc(count * sizeof(CensusFolder)));
  census->flagged = static_cast<unsigned char*>(calloc(count, 1));
  if (census->folders == nullptr || census->flagged == nullptr) {
    free(census->folders);
    free(census->flagged);
    free(census);
    return nullptr;
  }
  for (uint32_t folder = 0; folder < rule.folder_count; ++folder) {
    census->folders[folder] = listing_folder(rule, folder);
  }
  count_folders_above(rule, census->folders + rule.folder_count);
  census->listed_count = rule.folder_count;
  census->count = count;
  return census;
}

void census_found(const StampRule& rule, uint32_t folder, const WIN32_FIND_DATAW& found,
                  bool is_entry) {
  const wchar_t* name = found.cFileName;
  if (wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0) return;
  StrayCensus& census = *rule.census;
  DWORD attributes = found.dwFileAttributes;
  bool stays = false;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    stays = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                ? holds_subfolder(rule, census.folders[folder], name)
                : is_entry;
  }
  if (!stays) census.flagged[folder] = 1;
}

void census_listing_failed(StrayCensus& census, DWORD error) {
  if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
    InterlockedExchange(&census.failed, 1);
  }
}
