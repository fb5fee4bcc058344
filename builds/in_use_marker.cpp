#include "builds/in_use_marker.h"

#include <windows.h>

#include <cwchar>

#include "paths/directories.h"
#include "support/launch_state.h"

namespace {

constexpr int held_retries = 40;
constexpr DWORD retry_wait_ms = 25;
constexpr int folder_tries = 3;

// Shared with every other launcher of the build, never exclusive, and inherited.
HANDLE open_marker(const wchar_t* path) {
  SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
  for (int retries = held_retries;; --retries) {
    HANDLE marker =
        CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    &inherited, OPEN_ALWAYS, 0, nullptr);
    // A pruner holds it for a moment while it takes the build's folder out of use.
    if (marker != INVALID_HANDLE_VALUE || retries == 0) return marker;
    DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) return marker;
    Sleep(retry_wait_ms);
  }
}

// Without its marker (another program held it all along), the build would look unused to
// a pruner. Its folder is held instead, without delete sharing and inherited as the marker
// would be: no one can rename it while the build runs, and a pruner leaves what it cannot
// rename. Made here when missing, since a pruner may have just renamed it.
void hold_build_folder(const wchar_t* target_directory) {
  SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
  for (int tries = 0; tries < folder_tries; ++tries) {
    CreateDirectoryW(target_directory, nullptr);
    // Listing access: a handle that only reads attributes takes no part in sharing.
    HANDLE folder =
        CreateFileW(target_directory, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherited, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    // Left open: the system closes it when the launcher ends.
    if (folder != INVALID_HANDLE_VALUE) return;
  }
}

}  // namespace

DWORD hold_in_use_marker(KnownDirectories& directories, const wchar_t* target_directory,
                         const wchar_t* launcher_path) {
  wchar_t path[target_directory_capacity];
  size_t length = wcslen(target_directory);
  if (length + wcslen(in_use_suffix) >= target_directory_capacity)
    return ERROR_FILENAME_EXCED_RANGE;
  wmemcpy(path, target_directory, length);
  wcscpy(path + length, in_use_suffix);
  create_parent_directories_of(directories, path);
  HANDLE marker = open_marker(path);
  if (marker == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    hold_build_folder(target_directory);
    return error;
  }
  // Written anew on every start, with the start's time as its last-write time.
  DWORD bytes = static_cast<DWORD>(wcslen(launcher_path) * sizeof(wchar_t));
  DWORD written = 0;
  WriteFile(marker, launcher_path, bytes, &written, nullptr);
  SetEndOfFile(marker);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  SetFileTime(marker, nullptr, nullptr, &now);
  // Left open: the system closes it when the launcher ends.
  return ERROR_SUCCESS;
}
