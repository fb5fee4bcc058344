#include "builds/prune.h"

#include <cstdlib>
#include <cwchar>

#include "builds/in_use_marker.h"
#include "builds/tree_removal.h"
#include "support/file_disposition.h"

namespace {

constexpr int other_build_capacity = 64;
constexpr SIZE_T pruner_stack_size = 0x40000;
constexpr DWORD last_wait_ms = 100;
constexpr uint64_t day = 24ull * 60 * 60 * 10000000;
constexpr wchar_t removal_suffix[] = L".removing";

struct OtherBuild {
  wchar_t leaf[build_leaf_capacity];
  uint64_t last_start;  // from its marker; 0 while none was found
  bool ours;            // its marker names this launcher
};

struct Survey {
  OtherBuild builds[other_build_capacity];
  int count;
  wchar_t leftovers[other_build_capacity][build_leaf_capacity + 16];
  int leftover_count;
};

uint64_t to_u64(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// parent\name into path; false when it does not fit.
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
  added.ours = false;
  return &added;
}

void note(Survey& survey, const BuildFolder& build, const WIN32_FIND_DATAW& found) {
  const wchar_t* name = found.cFileName;
  bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
  size_t leaf_length = build.prefix_length + build_id_digits;
  // This build is never among the others, neither its folder nor its marker.
  if (wcsncmp(name, build.leaf, leaf_length) == 0) return;
  if (folder && is_build_name(name, build, removal_suffix)) {
    if (survey.leftover_count < other_build_capacity) {
      wcscpy(survey.leftovers[survey.leftover_count++], name);
    }
  } else if (!folder && is_build_name(name, build, in_use_suffix)) {
    OtherBuild* other = find_build(survey, name, leaf_length);
    if (other != nullptr) other->last_start = to_u64(found.ftLastWriteTime);
  } else if (folder && is_build_name(name, build, L"")) {
    find_build(survey, name, leaf_length);
  }
}

// One listing of the parent folder: the other builds with their markers' times, and what
// earlier removals left.
void survey_builds(Survey& survey, const BuildFolder& build) {
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

// Whether the marker names the launcher at launcher_path, letter case aside.
bool names_launcher(const wchar_t* marker_path, const wchar_t* launcher_path) {
  HANDLE marker =
      CreateFileW(marker_path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (marker == INVALID_HANDLE_VALUE) return false;
  wchar_t named[target_directory_capacity];
  DWORD got = 0;
  bool read = ReadFile(marker, named, sizeof named - sizeof(wchar_t), &got, nullptr) != FALSE;
  CloseHandle(marker);
  if (!read || got % sizeof(wchar_t) != 0) return false;
  named[got / sizeof(wchar_t)] = 0;
  return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, named, -1, launcher_path, -1) ==
         CSTR_EQUAL;
}

// Held exclusively, the marker tells that no launcher or program of the build runs, and
// keeps any from starting until the folder is renamed; then the marker goes. What became of
// the build, for the trace.
const char* remove_build(const BuildFolder& build, const OtherBuild& other, uint64_t cutoff) {
  wchar_t marker_path[target_directory_capacity], folder[target_directory_capacity],
      renamed[target_directory_capacity];
  if (!in_parent(marker_path, build, other.leaf, in_use_suffix) ||
      !in_parent(folder, build, other.leaf, L"") ||
      !in_parent(renamed, build, other.leaf, removal_suffix)) {
    return " kept: its path is too long";
  }
  HANDLE marker =
      CreateFileW(marker_path, GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (marker == INVALID_HANDLE_VALUE) return " kept: in use";
  FILETIME written;
  bool still_old = GetFileTime(marker, nullptr, nullptr, &written) && to_u64(written) < cutoff;
  // A folder the system will not rename (a program started from it by hand) stays.
  bool moved = still_old && MoveFileExW(folder, renamed, 0);
  if (moved) delete_on_close(marker);
  CloseHandle(marker);
  if (!moved) return still_old ? " kept: its folder cannot be renamed" : " kept: started meanwhile";
  return remove_tree(renamed, target_directory_capacity) ? " removed"
                                                         : " removed in part, finished later";
}

void trace_build(const Trace& trace, const OtherBuild& other, const char* outcome) {
  TraceLine line;
  trace_start(line, "other build ");
  trace_add(line, other.leaf);
  trace_add(line, outcome);
  trace_end(trace, line);
}

void finish_leftovers(const Survey& survey, const BuildFolder& build) {
  for (int i = 0; i < survey.leftover_count; ++i) {
    wchar_t path[target_directory_capacity];
    if (in_parent(path, build, survey.leftovers[i], L""))
      remove_tree(path, target_directory_capacity);
  }
}

void prune(const Pruning& pruning) {
  Survey survey;
  survey.count = survey.leftover_count = 0;
  const BuildFolder& build = pruning.build;
  survey_builds(survey, build);
  finish_leftovers(survey, build);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  uint64_t span = static_cast<uint64_t>(pruning.days) * day;
  uint64_t cutoff = to_u64(now) > span ? to_u64(now) - span : 0;
  bool any_old = false;
  for (int i = 0; i < survey.count; ++i) {
    const OtherBuild& other = survey.builds[i];
    any_old = any_old || (other.last_start != 0 && other.last_start < cutoff);
  }
  // The usual start ends here, after one listing.
  if (!any_old) {
    if (tracing(pruning.trace)) {
      trace_number(pruning.trace, "other builds: ", survey.count,
                   " found, none unused for longer than the days kept");
    }
    return;
  }
  OtherBuild* latest = nullptr;
  for (int i = 0; i < survey.count; ++i) {
    OtherBuild& other = survey.builds[i];
    wchar_t marker_path[target_directory_capacity];
    other.ours = other.last_start != 0 &&
                 in_parent(marker_path, build, other.leaf, in_use_suffix) &&
                 names_launcher(marker_path, pruning.launcher_path);
    if (other.ours && (latest == nullptr || other.last_start > latest->last_start)) latest = &other;
  }
  for (int i = 0; i < survey.count; ++i) {
    const OtherBuild& other = survey.builds[i];
    const char* outcome = other.last_start == 0        ? " kept: no in-use marker"
                          : !other.ours                ? " kept: another launcher's"
                          : &other == latest           ? " kept: the most recently started"
                          : other.last_start >= cutoff ? " kept: started within the days kept"
                                                       : remove_build(build, other, cutoff);
    if (tracing(pruning.trace)) trace_build(pruning.trace, other, outcome);
  }
}

DWORD WINAPI prune_on_thread(void* context) {
  prune(*static_cast<const Pruning*>(context));
  return 0;
}

}  // namespace

HANDLE start_pruning(const BuildFolder& build, const LaunchState& state) {
  Pruning* pruning = static_cast<Pruning*>(malloc(sizeof(Pruning)));
  if (pruning == nullptr) return nullptr;
  pruning->build = build;
  wcscpy(pruning->launcher_path, state.launcher_path);
  pruning->days = state.prune_after_days;
  pruning->trace = state.trace;
  return CreateThread(nullptr, pruner_stack_size, prune_on_thread, pruning,
                      STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
}

void finish_pruning(HANDLE pruner) {
  if (pruner == nullptr) return;
  WaitForSingleObject(pruner, last_wait_ms);
  CloseHandle(pruner);
}
