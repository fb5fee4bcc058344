#include "paths/directories.h"

#include <windows.h>

#include <cwchar>

#include "paths/known_directories.h"
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

}  // namespace

bool ensure_directory(KnownDirectories& known, const wchar_t* folder) {
  if (!known.profile_looked_up) remember_profile_folder(known);
  if (is_known_directory(known, folder)) return true;
  if (is_drive_designator(folder)) return true;
  if (!create_directory_w(folder) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  remember_directory(known, folder);
  return true;
}

void create_directory_chain(KnownDirectories& known, const wchar_t* folder) {
  if (ensure_directory(known, folder)) return;
  wchar_t parent[working_capacity];
  copy_bounded(parent, folder, working_capacity);
  if (cut_at_parent(parent)) create_directory_chain(known, parent);
  // A failure shows when the file in it cannot be opened; the trace tells why.
  if (!ensure_directory(known, folder)) trace_folder_failed(known.trace, folder, GetLastError());
}

void create_parent_directories_of(KnownDirectories& known, const wchar_t* path) {
  wchar_t folder[working_capacity];
  copy_bounded(folder, path, working_capacity);
  if (cut_at_parent(folder)) create_directory_chain(known, folder);
}
