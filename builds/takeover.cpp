#include "builds/takeover.h"

#include <cstdlib>
#include <cwchar>

#include "builds/build_owner.h"
#include "builds/in_use_marker.h"
#include "builds/read_only.h"
#include "builds/survey.h"
#include "support/file_disposition.h"

namespace {

bool left_by_update(Owner owner) { return owner == Owner::this_launcher || owner == Owner::gone; }

// The most recently started build with a folder and a marker that is not tried yet.
OtherBuild* newest_untried(Survey& survey) {
  OtherBuild* newest = nullptr;
  for (int i = 0; i < survey.count; ++i) {
    OtherBuild& other = survey.builds[i];
    if (!other.has_folder || other.last_start == 0 || other.owner != Owner::unknown) continue;
    if (newest == nullptr || other.last_start > newest->last_start) newest = &other;
  }
  return newest;
}

// Held exclusively, the marker tells that no launcher or program of the build runs, and
// keeps any from starting until the folder is renamed; then it goes with the folder. Whose
// the build is, is read through that handle, so that no start changes it meanwhile.
bool take_build(const BuildFolder& build, const OtherBuild& other, const wchar_t* launcher_path,
                const wchar_t* target_directory) {
  wchar_t marker_path[target_directory_capacity], folder[target_directory_capacity];
  if (!in_parent(marker_path, build, other.leaf, in_use_suffix) ||
      !in_parent(folder, build, other.leaf, L"")) {
    return false;
  }
  HANDLE marker = CreateFileW(marker_path, GENERIC_READ | DELETE | FILE_WRITE_ATTRIBUTES, 0,
                              nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (marker == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information;
  bool taken = GetFileInformationByHandle(marker, &information) &&
               (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
               left_by_update(read_owner(marker, launcher_path)) &&
               MoveFileExW(folder, target_directory, 0);
  if (taken) {
    clear_read_only(marker, information.dwFileAttributes);
    delete_on_close(marker);
  }
  CloseHandle(marker);
  return taken;
}

bool pending_path(wchar_t (&path)[target_directory_capacity], const wchar_t* target_directory) {
  size_t length = wcslen(target_directory);
  if (length + wcslen(takeover_suffix) >= target_directory_capacity) return false;
  wmemcpy(path, target_directory, length);
  wcscpy(path + length, takeover_suffix);
  return true;
}

}  // namespace

bool take_over_earlier_build(const BuildFolder& build, const wchar_t* launcher_path,
                             const wchar_t* target_directory,
                             wchar_t (&taken)[build_leaf_capacity]) {
  Survey* survey = static_cast<Survey*>(malloc(sizeof(Survey)));
  if (survey == nullptr) return false;
  survey_builds(*survey, build);
  bool took = false;
  while (OtherBuild* newest = newest_untried(*survey)) {
    newest->owner = Owner::other;
    took = take_build(build, *newest, launcher_path, target_directory);
    if (took) {
      wcscpy(taken, newest->leaf);
      break;
    }
  }
  free(survey);
  return took;
}

bool takeover_pending(const wchar_t* target_directory) {
  wchar_t path[target_directory_capacity];
  return pending_path(path, target_directory) &&
         GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

bool note_takeover(const wchar_t* target_directory) {
  wchar_t path[target_directory_capacity];
  if (!pending_path(path, target_directory)) return false;
  HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                            CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

void end_takeover(const wchar_t* target_directory) {
  wchar_t path[target_directory_capacity];
  if (pending_path(path, target_directory)) DeleteFileW(path);
}
