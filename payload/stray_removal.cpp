#include "payload/stray_removal.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>

#include "builds/tree_removal.h"
#include "payload/stray_census.h"
#include "payload/target_path.h"

namespace {

// Deeper folders are left, as a removal of a whole build leaves them.
constexpr int depth_limit = 64;

struct Walk {
  const NameList* names;
  // Folders the names hold are looked through on their own (a census's), not from above.
  bool enters_held_folders;
  // The full path, and the path below the target folded as names are.
  wchar_t path[target_path_capacity];
  wchar_t folded[target_path_capacity];
  StrayRemoval result;
};

bool is_plain_folder(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

// A link goes as a link, never what it leads to; attributes: what the listing gave.
void remove_stray(Walk& walk, DWORD attributes) {
  if (!remove_listed_entry(walk.path, target_path_capacity, attributes)) {
    walk.result.all_gone = false;
  } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    ++walk.result.files_removed;
  }
}

// Looks through the folder at path (path_length units; folded_length below the target). In a
// folder the names hold (listed), what they hold stays; anything else goes, a folder's files
// one by one so that they are counted. A link is never looked into.
void walk_folder(Walk& walk, size_t path_length, size_t folded_length, bool listed, int depth) {
  if (path_length + 3 >= target_path_capacity || depth > depth_limit) {
    walk.result.all_gone = false;
    return;
  }
  wcscpy(walk.path + path_length, L"\\*");
  WIN32_FIND_DATAW found;
  HANDLE find =
      FindFirstFileExW(walk.path, FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  walk.path[path_length] = 0;
  if (find == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      walk.result.all_gone = false;
    }
    return;
  }
  do {
    const wchar_t* name = found.cFileName;
    if (wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0) continue;
    size_t name_length = wcslen(name);
    size_t name_at = folded_length == 0 ? 0 : folded_length + 1;
    if (path_length + 1 + name_length + 2 >= target_path_capacity) {
      walk.result.all_gone = false;
      continue;
    }
    walk.path[path_length] = L'\\';
    wmemcpy(walk.path + path_length + 1, name, name_length + 1);
    if (folded_length > 0) walk.folded[folded_length] = L'\\';
    wmemcpy(walk.folded + name_at, name, name_length + 1);
    size_t inner_length = name_at + name_length;
    bool folded = fold_name(walk.folded + name_at, name_length);
    if (is_plain_folder(found.dwFileAttributes)) {
      walk.folded[inner_length] = L'\\';
      walk.folded[inner_length + 1] = 0;
      bool holds = listed && folded && lists_folder(*walk.names, walk.folded);
      walk.folded[inner_length] = 0;
      if (!holds || walk.enters_held_folders) {
        walk_folder(walk, path_length + 1 + name_length, inner_length, holds, depth + 1);
        walk.path[path_length + 1 + name_length] = 0;
      }
      if (!holds) remove_stray(walk, found.dwFileAttributes);
    } else if (!(listed && folded && lists_file(*walk.names, walk.folded))) {
      remove_stray(walk, found.dwFileAttributes);
    }
    walk.path[path_length] = 0;
    walk.folded[folded_length] = 0;
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

// Every folder from below the target down to the end of path is a folder of its own, not a
// link: a census names folders, and a link there would lead the removal elsewhere.
bool leads_through_folders(wchar_t* path, size_t target_length, size_t path_length) {
  for (size_t at = target_length + 1; at <= path_length; ++at) {
    if (at < path_length && path[at] != L'\\') continue;
    wchar_t unit = path[at];
    path[at] = 0;
    DWORD attributes = GetFileAttributesW(path);
    path[at] = unit;
    if (attributes == INVALID_FILE_ATTRIBUTES || !is_plain_folder(attributes)) return false;
  }
  return true;
}

// Looks through one folder of the census, the name of the target itself or a name below it
// ending in a backslash, and what it holds that the names do not.
void walk_census_folder(Walk& walk, size_t target_length, const CensusFolder& folder) {
  size_t folder_length = folder.length == 0 ? 0 : folder.length - 1;
  if (target_length + 1 + folder_length >= target_path_capacity) {
    walk.result.all_gone = false;
    return;
  }
  size_t path_length = target_length;
  if (folder_length > 0) {
    walk.path[target_length] = L'\\';
    wmemcpy(walk.path + target_length + 1, folder.name, folder_length);
    path_length += 1 + folder_length;
  }
  walk.path[path_length] = 0;
  wmemcpy(walk.folded, folder.name, folder_length);
  walk.folded[folder_length] = 0;
  int depth = 0;
  for (size_t at = 0; at < folder_length; ++at) depth += folder.name[at] == L'\\';
  if (leads_through_folders(walk.path, target_length, path_length) &&
      fold_name(walk.folded, folder_length)) {
    walk_folder(walk, path_length, folder_length, true, depth + (folder_length > 0));
  } else {
    walk.result.all_gone = false;
  }
  walk.path[target_length] = 0;
}

}  // namespace

StrayRemoval remove_strays(const wchar_t* target_directory, NameList& names,
                           const StrayCensus* census) {
  if (!sort_names(names)) return StrayRemoval{0, false};
  Walk* walk = static_cast<Walk*>(malloc(sizeof(Walk)));
  if (walk == nullptr) return StrayRemoval{0, false};
  walk->names = &names;
  walk->result = StrayRemoval{0, true};
  size_t length = wcslen(target_directory);
  if (length >= target_path_capacity) {
    free(walk);
    return StrayRemoval{0, false};
  }
  wmemcpy(walk->path, target_directory, length + 1);
  walk->folded[0] = 0;
  walk->enters_held_folders = census == nullptr || census->failed;
  if (walk->enters_held_folders) {
    walk_folder(*walk, length, 0, true, 0);
  } else {
    for (uint32_t folder = 0; folder < census->count; ++folder) {
      if (census->flagged[folder]) walk_census_folder(*walk, length, census->folders[folder]);
    }
  }
  StrayRemoval result = walk->result;
  free(walk);
  return result;
}
