#include "builds/survey.h"

#include <cwchar>

#include "builds/in_use_marker.h"

namespace {

OtherBuild* find_build(Survey& survey, const wchar_t* leaf, size_t length) {
  for (int i = 0; i < survey.count; ++i) {
    if (wcsncmp(survey.builds[i].leaf, leaf, length) == 0 && survey.builds[i].leaf[length] == 0) {
      return &survey.builds[i];
    }
  }
  if (survey.count == other_build_capacity || length >= build_leaf_capacity) return nullptr;
  OtherBuild& added = survey.builds[survey.count++];
  wmemcpy(added.leaf, leaf, length);
  added.leaf[length] = 0;
  added.last_start = 0;
  added.has_folder = false;
  added.owner = Owner::unknown;
  return &added;
}

void note(Survey& survey, const BuildFolder& build, const WIN32_FIND_DATAW& found) {
  const wchar_t* name = found.cFileName;
  bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
  // Whatever its suffix, and whichever build it was: renamed, it is out of every start's way.
  if (folder && is_build_name(name, build, removal_suffix, true)) {
    if (survey.leftover_count < other_build_capacity) {
      wcscpy(survey.leftovers[survey.leftover_count++], name);
    }
    return;
  }
  size_t leaf_length = build.prefix_length + build_id_digits;
  if (wcsncmp(name, build.leaf, leaf_length) == 0) return;
  if (!folder && is_build_name(name, build, in_use_suffix)) {
    OtherBuild* other = find_build(survey, name, leaf_length);
    if (other != nullptr) other->last_start = to_u64(found.ftLastWriteTime);
  } else if (folder && is_build_name(name, build, L"")) {
    OtherBuild* other = find_build(survey, name, leaf_length);
    if (other != nullptr) other->has_folder = true;
  }
}

}  // namespace

uint64_t to_u64(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

bool in_parent(wchar_t (&path)[target_directory_capacity], const BuildFolder& build,
               const wchar_t* name, const wchar_t* suffix) {
  size_t parent = wcslen(build.parent), leaf = wcslen(name), tail = wcslen(suffix);
  if (parent + 1 + leaf + tail >= target_directory_capacity) return false;
  wmemcpy(path, build.parent, parent);
  path[parent] = L'\\';
  wmemcpy(path + parent + 1, name, leaf);
  wcscpy(path + parent + 1 + leaf, suffix);
  return true;
}

void survey_builds(Survey& survey, const BuildFolder& build) {
  survey.count = survey.leftover_count = 0;
  wchar_t pattern[target_directory_capacity];
  wchar_t prefix[build_leaf_capacity + 1];
  wmemcpy(prefix, build.leaf, build.prefix_length);
  wcscpy(prefix + build.prefix_length, L"*");
  if (!in_parent(pattern, build, prefix, L"")) return;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileExW(pattern, FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                 FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    note(survey, build, found);
  } while (FindNextFileW(find, &found));
  FindClose(find);
}
