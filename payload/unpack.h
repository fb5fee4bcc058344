#pragma once
// One unpack of the attached archive, and everything it owns: the stream and its decoder,
// the windows decoded ahead, the pooled writers, the reuse rule with its index, the target
// lock, what this start created, wrote or stamped, and what it shows of its progress. Its parts
// report failures back to it as values; unpack_payload ends it in one place.
#include <cstddef>
#include <cstdint>

#include "paths/known_directories.h"
#include "payload/decode_ahead_state.h"
#include "payload/file_counts.h"
#include "payload/file_pool.h"
#include "payload/name_list.h"
#include "payload/stamp_rule.h"
#include "payload/stream.h"
#include "payload/target_lock.h"
#include "payload/target_path.h"
#include "progress/unpack_progress.h"
#include "support/failure.h"
#include "support/launch_state.h"

constexpr size_t entry_name_capacity = 1024;
// Small files are read whole in one call; under Wine a mapping costs several more trips
// to the server than the read, which outweighs the copy up to a few hundred KiB.
constexpr uint64_t main_read_limit = 256 * 1024;

struct Unpack {
  const wchar_t* target_directory;
  size_t target_length;
  wchar_t* child_path;
  // Whether the target's folder came from KOVRAN_ONEFILE_CACHE_DIR, which the open message
  // then says; the folders known to exist.
  bool cache_dir_moved;
  KnownDirectories* directories;
  const Trace* trace;
  FileCounts counts;
  PayloadStream stream;
  DecodeAhead ahead;
  FilePool pool;
  StampRule stamp;
  TargetLock target_lock;
  UnpackProgress progress;
  // A start that took an earlier build's folder over: the names its archive holds, to remove
  // what else lies below the folder once every file is written.
  bool removes_strays;
  NameList names;
  // Under the stamp rule in a build folder: where its record goes and the build's ID
  // (payload/stamp_record.h); nullptr: none.
  const wchar_t* record_path;
  const wchar_t* build_id;
  // The entries read so far, for the progress.
  uint64_t files_passed;
  // The main thread's retry budget for its current file, and its checksum buffer.
  int waits_left;
  unsigned char read_buffer[main_read_limit];
  wchar_t entry_name[entry_name_capacity];
  wchar_t file_path[target_path_capacity];
};

// Points an unpack, all zero before, at a payload block and the start's absolute target
// directory; the start's child path receives the first entry's path. The stamp rule, when
// the build has it, is turned on next (use_stamp_rule), and so is progress (want_progress).
void prepare_unpack(Unpack& unpack, const unsigned char* block, uint64_t length, LaunchState& state,
                    KnownDirectories& directories);

// Writes every archive entry below the target directory unless the file there is already
// current (its size and CRC-32, or under the stamp rule its size and stamp, are the
// entry's), and sets the child's path. On a failure or a cancel, cleans up after it and
// hands it back (payload/unpack_end.h).
Failure unpack_payload(Unpack& unpack);
