#include "builds/prune.h"

#include <cstdlib>
#include <cwchar>

#include "builds/build_owner.h"
#include "builds/in_use_marker.h"
#include "builds/read_only.h"
#include "builds/survey.h"
#include "builds/tree_removal.h"
#include "support/decimal.h"
#include "support/file_disposition.h"
#include "support/trace_lines.h"

namespace {

constexpr SIZE_T pruner_stack_size = 0x40000;
constexpr DWORD last_wait_ms = 100;
constexpr uint64_t day = 24ull * 60 * 60 * 10000000;
// .removing-PID-TIME: no earlier removal, of this build or of another, has taken the name.
constexpr size_t removal_suffix_capacity = 16 + 2 * decimal_capacity;

void unique_removal_suffix(wchar_t (&suffix)[removal_suffix_capacity]) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  wchar_t number[decimal_capacity];
  wcscpy(suffix, removal_suffix);
  wcscat(suffix, L"-");
  decimal_text(number, GetCurrentProcessId());
  wcscat(suffix, number);
  wcscat(suffix, L"-");
  decimal_text(number, static_cast<int64_t>(to_u64(now)));
  wcscat(suffix, number);
}

// Held exclusively, the marker tells that no launcher or program of the build runs, and
// keeps any from starting until the folder is renamed; then the marker goes, read-only or
// not. A marker whose folder is gone already (an earlier removal's) goes alone. What became
// of the build, for the trace.
const char* remove_build(const BuildFolder& build, const OtherBuild& other, uint64_t cutoff) {
  wchar_t marker_path[target_directory_capacity], folder[target_directory_capacity],
      renamed[target_directory_capacity], suffix[removal_suffix_capacity];
  unique_removal_suffix(suffix);
  if (!in_parent(marker_path, build, other.leaf, in_use_suffix) ||
      !in_parent(folder, build, other.leaf, L"") ||
      !in_parent(renamed, build, other.leaf, suffix)) {
    return " kept: path too long";
  }
  HANDLE marker = CreateFileW(marker_path, GENERIC_READ | DELETE | FILE_WRITE_ATTRIBUTES, 0,
                              nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (marker == INVALID_HANDLE_VALUE) return " kept: in use";
  BY_HANDLE_FILE_INFORMATION information;
  bool still_old = GetFileInformationByHandle(marker, &information) &&
                   (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
                   to_u64(information.ftLastWriteTime) < cutoff;
  // A folder the system will not rename (a program started from it by hand, or by a start
  // that could not take the marker) stays.
  bool moved = still_old && other.has_folder && MoveFileExW(folder, renamed, 0);
  bool folder_gone = still_old && !other.has_folder &&
                     GetFileAttributesW(folder) == INVALID_FILE_ATTRIBUTES &&
                     GetLastError() == ERROR_FILE_NOT_FOUND;
  if (moved || folder_gone) {
    clear_read_only(marker, information.dwFileAttributes);
    delete_on_close(marker);
    // The record of its kept files goes with it (payload/stamp_record.h).
    wchar_t record[target_directory_capacity];
    if (in_parent(record, build, other.leaf, L".files")) DeleteFileW(record);
  }
  CloseHandle(marker);
  if (folder_gone) return " removed, folder gone";
  if (!moved) return still_old ? " kept: folder held" : " kept: started since";
  return remove_tree(renamed, target_directory_capacity) ? " removed" : " removed in part";
}

// Why another build stays when it is not for this launcher to remove.
const char* kept_because(const OtherBuild& other, const OtherBuild* latest, uint64_t cutoff) {
  if (other.last_start == 0) return " kept: no marker";
  if (other.owner == Owner::other) return " kept: another launcher's";
  if (other.owner == Owner::unknown) return " kept: marker unreadable";
  if (&other == latest) return " kept: latest";
  if (other.last_start >= cutoff) return " kept: recent";
  return nullptr;
}

void finish_leftovers(const Survey& survey, const Pruning& pruning) {
  for (int i = 0; i < survey.leftover_count; ++i) {
    wchar_t path[target_directory_capacity];
    if (!in_parent(path, pruning.build, survey.leftovers[i], L"")) continue;
    bool removed = remove_tree(path, target_directory_capacity);
    trace_leftover(pruning.trace, survey.leftovers[i], removed);
  }
}

// The other builds' owners, from their markers, and the most recently started build of this
// launcher, which stays.
const OtherBuild* read_owners(Survey& survey, const Pruning& pruning) {
  const OtherBuild* latest = nullptr;
  for (int i = 0; i < survey.count; ++i) {
    OtherBuild& other = survey.builds[i];
    wchar_t marker_path[target_directory_capacity];
    if (other.last_start == 0 || !in_parent(marker_path, pruning.build, other.leaf, in_use_suffix))
      continue;
    other.owner = read_owner(marker_path, pruning.launcher_path);
    if (other.owner == Owner::this_launcher && other.has_folder &&
        (latest == nullptr || other.last_start > latest->last_start)) {
      latest = &other;
    }
  }
  return latest;
}

void prune(const Pruning& pruning) {
  Survey survey;
  const BuildFolder& build = pruning.build;
  survey_builds(survey, build);
  finish_leftovers(survey, pruning);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  uint64_t span = static_cast<uint64_t>(pruning.days) * day;
  uint64_t cutoff = to_u64(now) > span ? to_u64(now) - span : 0;
  bool any_old = false;
  for (int i = 0; i < survey.count; ++i) {
    const OtherBuild& other = survey.builds[i];
    any_old = any_old || (other.last_start != 0 && other.last_start < cutoff);
  }
  // The usual start ends here, after one listing; the trace names what stays.
  if (!any_old) {
    for (int i = 0; i < survey.count; ++i) {
      const OtherBuild& other = survey.builds[i];
      trace_other_build(pruning.trace, other.leaf,
                        other.last_start == 0 ? " kept: no marker" : " kept: recent");
    }
    trace_other_builds(pruning.trace, survey.count);
    return;
  }
  const OtherBuild* latest = read_owners(survey, pruning);
  for (int i = 0; i < survey.count; ++i) {
    const OtherBuild& other = survey.builds[i];
    // A build whose launcher is gone belongs to every launcher of the application.
    bool removable =
        (other.owner == Owner::this_launcher && &other != latest) || other.owner == Owner::gone;
    const char* outcome = removable && other.last_start < cutoff
                              ? remove_build(build, other, cutoff)
                              : kept_because(other, latest, cutoff);
    trace_other_build(pruning.trace, other.leaf, outcome);
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
