#include "builds/tree_removal.h"

#include <windows.h>

#include <cwchar>

#include "builds/read_only.h"
#include "paths/link_guard.h"
#include "support/file_disposition.h"
#include "support/later_calls.h"

namespace {

// Deeper folders are left: no application tree comes near, and each level holds a handle.
constexpr int depth_limit = 64;

struct Removal {
  wchar_t* path;
  size_t capacity;
  final_path_function final_path;
  // Where the tree lies as the system resolves it, or empty when that cannot be told.
  wchar_t root[MAX_PATH * 4];
};

// Never following a reparse point. Without sharing delete: while a handle is open, no one
// renames or replaces the entry, so that its path keeps leading to it.
HANDLE open_entry(const wchar_t* path, DWORD access) {
  return CreateFileW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// A system that follows a link despite the flag (some do for links of their own host)
// hands back a handle to the target: one that resolves outside the tree is left alone.
bool resolves_inside(const Removal& removal, HANDLE handle) {
  if (removal.final_path == nullptr || removal.root[0] == 0) return true;
  wchar_t resolved[MAX_PATH * 4];
  DWORD length = removal.final_path(handle, resolved, MAX_PATH * 4, 0);
  size_t root_length = wcslen(removal.root);
  return length > 0 && length < MAX_PATH * 4 && wcsncmp(resolved, removal.root, root_length) == 0 &&
         (resolved[root_length] == 0 || resolved[root_length] == L'\\');
}

bool is_plain_folder(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

bool remove_entry(Removal& removal, size_t length, int depth, DWORD listed);

// Removes what the folder at removal.path (length units) holds.
bool remove_children(Removal& removal, size_t length, int depth) {
  if (length + 3 >= removal.capacity) return false;
  wcscpy(removal.path + length, L"\\*");
  WIN32_FIND_DATAW found;
  HANDLE find =
      FindFirstFileExW(removal.path, FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  removal.path[length] = 0;
  if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  bool all_gone = true;
  do {
    const wchar_t* name = found.cFileName;
    if (wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0) continue;
    size_t name_length = wcslen(name);
    if (length + 1 + name_length >= removal.capacity) {
      all_gone = false;
      continue;
    }
    removal.path[length] = L'\\';
    wmemcpy(removal.path + length + 1, name, name_length + 1);
    all_gone = remove_entry(removal, length + 1 + name_length, depth + 1, found.dwFileAttributes) &&
               all_gone;
    removal.path[length] = 0;
  } while (FindNextFileW(find, &found));
  FindClose(find);
  return all_gone;
}

bool delete_entry(const Removal& removal) {
  HANDLE entry = open_entry(removal.path, DELETE | FILE_READ_ATTRIBUTES);
  if (entry == INVALID_HANDLE_VALUE) return false;
  bool deleted = resolves_inside(removal, entry) && delete_on_close(entry);
  CloseHandle(entry);
  return deleted;
}

// A folder is emptied through a handle that only reads and writes its attributes, which
// listing it does not conflict with; the entry is then deleted through a handle of its own.
// A read-only entry is made writable first: the system deletes no read-only file or folder,
// and some none of what a read-only folder holds. listed: the attributes its folder's listing
// gave.
bool remove_entry(Removal& removal, size_t length, int depth, DWORD listed) {
  HANDLE held = open_entry(removal.path, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES);
  if (held == INVALID_HANDLE_VALUE) held = open_entry(removal.path, FILE_READ_ATTRIBUTES);
  DWORD error = held == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
  BY_HANDLE_FILE_INFORMATION information;
  bool known = held != INVALID_HANDLE_VALUE && GetFileInformationByHandle(held, &information);
  // A link that the system opens only as what it points at (Wine does so for every link),
  // or that leads nowhere: when it is no folder, a file of its own is renamed over it, which
  // replaces the link itself, and then deleted. A folder link that such a system follows
  // stays.
  if ((known && !resolves_inside(removal, held)) || error == ERROR_FILE_NOT_FOUND ||
      error == ERROR_PATH_NOT_FOUND) {
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    return (listed & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
           replace_with_empty_file(removal.path, removal.capacity) && delete_entry(removal);
  }
  if (held == INVALID_HANDLE_VALUE) return false;
  bool emptied = known && clear_read_only(held, information.dwFileAttributes);
  if (emptied && is_plain_folder(information.dwFileAttributes)) {
    emptied = depth < depth_limit && remove_children(removal, length, depth);
  }
  CloseHandle(held);
  return emptied && delete_entry(removal);
}

}  // namespace

bool remove_listed_entry(wchar_t* path, size_t capacity, DWORD listed) {
  Removal removal = {path, capacity, find_final_path_function(), {0}};
  size_t length = wcslen(path);
  wchar_t* slash = wcsrchr(path, L'\\');
  if (slash == nullptr) return false;
  if (removal.final_path != nullptr) {
    // Where the entry lies is its folder's place and its own name.
    *slash = 0;
    HANDLE folder = open_entry(path, FILE_READ_ATTRIBUTES);
    *slash = L'\\';
    if (folder == INVALID_HANDLE_VALUE) return false;
    DWORD folder_length = removal.final_path(folder, removal.root, MAX_PATH * 4, 0);
    CloseHandle(folder);
    size_t leaf_length = wcslen(slash);
    if (folder_length == 0 || folder_length + leaf_length >= MAX_PATH * 4) return false;
    wmemcpy(removal.root + folder_length, slash, leaf_length + 1);
  }
  return remove_entry(removal, length, 0, listed);
}

bool remove_tree(wchar_t* path, size_t capacity) {
  Removal removal = {path, capacity, find_final_path_function(), {0}};
  HANDLE root = open_entry(path, FILE_READ_ATTRIBUTES);
  if (root == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  if (removal.final_path != nullptr) {
    DWORD length = removal.final_path(root, removal.root, MAX_PATH * 4, 0);
    if (length == 0 || length >= MAX_PATH * 4) removal.root[0] = 0;
  }
  CloseHandle(root);
  return remove_entry(removal, wcslen(path), 0, FILE_ATTRIBUTE_DIRECTORY);
}
