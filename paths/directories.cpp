#include "paths/directories.h"

#include <windows.h>

#include <cwchar>

#include "paths/known_directories.h"
#include "paths/link_guard.h"
#include "paths/platform_directory.h"
#include "paths/spec_expansion.h"
#include "support/bounded.h"
#include "support/trace_lines.h"

namespace {

constexpr size_t working_capacity = 4096;
constexpr wchar_t profile_spec[] = L"{HOME}";

// The profile folder comes first: a walk up from below it ends there. A system that has
// none for the user only walks on, up to the drive.
void remember_profile_folder(KnownDirectories& known) {
  known.profile_looked_up = true;
  wchar_t profile[working_capacity];
  if (expand_target_spec(profile, profile_spec, working_capacity))
    remember_directory(known, profile);
}

bool is_drive_designator(const wchar_t* folder) {
  return folder[0] != 0 && folder[1] == L':' && folder[2] == 0;
}

// Cuts path before its last backslash at position 1 or later; false when it has none,
// so that "\" and "\name" have no parent.
bool cut_at_parent(wchar_t* path) {
  wchar_t* last_backslash = wcsrchr(path, L'\\');
  if (last_backslash == nullptr || last_backslash == path) return false;
  *last_backslash = 0;
  return true;
}

bool is_below_contained(const KnownDirectories& known, const wchar_t* folder) {
  return known.contained != nullptr &&
         wcsncmp(folder, known.contained, known.contained_length) == 0 &&
         folder[known.contained_length] == L'\\';
}

// What stands at an existing folder's name below the target: a folder, or a link that goes
// (the link itself) for a folder of its own. Anything else stays, and the file in it then
// cannot be opened, which is reported.
bool make_real_folder(const wchar_t* folder) {
  if (!is_folder_link(folder)) return true;
  return remove_folder_link(folder) && create_directory_w(folder);
}

// Makes folder and, when needed, its parents; false with *error the first failure of a
// folder once its parents were tried.
bool create_directory_chain(KnownDirectories& known, const wchar_t* folder, DWORD* error) {
  if (ensure_directory(known, folder)) return true;
  wchar_t parent[working_capacity];
  copy_bounded(parent, folder, working_capacity);
  if (cut_at_parent(parent)) create_directory_chain(known, parent, error);
  if (ensure_directory(known, folder)) return true;
  // The trace tells every folder that failed; the caller hears of the first.
  DWORD failure = GetLastError();
  trace_folder_failed(known.trace, folder, failure);
  if (*error == ERROR_SUCCESS) *error = failure;
  return false;
}

}  // namespace

bool ensure_directory(KnownDirectories& known, const wchar_t* folder) {
  if (!known.profile_looked_up) remember_profile_folder(known);
  if (is_known_directory(known, folder)) return true;
  if (is_drive_designator(folder)) return true;
  if (!create_directory_w(folder)) {
    if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
    // Only a folder that was there costs the look: one made just now is no link.
    if (is_below_contained(known, folder) && !make_real_folder(folder)) return false;
  }
  remember_directory(known, folder);
  return true;
}

bool create_parent_directories_of(KnownDirectories& known, const wchar_t* path) {
  wchar_t folder[working_capacity];
  copy_bounded(folder, path, working_capacity);
  DWORD error = ERROR_SUCCESS;
  if (!cut_at_parent(folder) || create_directory_chain(known, folder, &error)) return true;
  SetLastError(error);
  return false;
}
