#include "launcher/build_takeover.h"

#include <windows.h>

#include <cwchar>

#include "builds/survey.h"
#include "builds/takeover.h"
#include "payload/stamp_record.h"
#include "support/constants_record.h"

namespace {

bool folder_exists(const wchar_t* path) {
  return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

// True when the unpack must remove what the build does not hold; taken receives the leaf of
// a build taken over, or stays empty.
bool prepare_takeover(const BuildFolder& build, const LaunchState& state, TargetLock& lock,
                      wchar_t (&taken)[build_leaf_capacity]) {
  const wchar_t* target = state.target_directory;
  if (folder_exists(target)) return takeover_pending(target);
  // Starts of the build take turns: the first takes over, the others find its folder.
  if (!take_target_lock(lock)) return false;
  if (folder_exists(target)) return takeover_pending(target);
  if (note_takeover(target) && take_over_earlier_build(build, state.launcher_path, target, taken)) {
    if (tracing(state.trace)) trace_text(state.trace, "took over build ", taken);
    return true;
  }
  // A first start; one cut short before its rename left nothing to finish.
  taken[0] = 0;
  end_takeover(target);
  release_target_lock(lock);
  return false;
}

// The taken build's record is read at once and goes with its build; the start's own is
// read only when the stamps alone do not keep every file.
void prepare_records(const BuildFolder& build, const wchar_t* taken, Unpack& unpack,
                     BuildRecords& records) {
  StampRule& rule = unpack.stamp;
  if (!in_parent(records.own, build, build.leaf, stamp_record_suffix)) return;
  unpack.record_path = records.own;
  unpack.build_id = build.leaf + build.prefix_length;
  if (taken[0] == 0) {
    rule.record_path = records.own;
    rule.record_id = unpack.build_id;
  } else if (in_parent(records.taken, build, taken, stamp_record_suffix)) {
    use_stamp_record(rule, records.taken, taken + build.prefix_length);
    DeleteFileW(records.taken);
  }
}

}  // namespace

void prepare_build_folder(const BuildFolder& build, const LaunchState& state, Unpack& unpack,
                          BuildRecords& records) {
  wchar_t taken[build_leaf_capacity] = {0};
  // A launcher packed to keep every build never takes one over.
  if (state.prune_after_days != prune_never) {
    unpack.removes_strays = prepare_takeover(build, state, unpack.target_lock, taken);
  }
  if (state.reuse != ReuseRule::stamp) return;
  prepare_records(build, taken, unpack, records);
  // Files kept by their CRC-32 get this build's stamp, and go into its record.
  unpack.stamp.restamps_kept = unpack.removes_strays;
}
