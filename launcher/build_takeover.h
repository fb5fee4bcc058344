#pragma once
// What a start in a build folder of the default layout does before it unpacks: take an
// earlier build's folder over (builds/takeover.h) or finish a takeover cut short, and find
// the records of kept files (payload/stamp_record.h).
#include "builds/build_folder.h"
#include "payload/unpack.h"
#include "support/launch_state.h"

struct BuildRecords {
  wchar_t own[target_directory_capacity];
  wchar_t taken[target_directory_capacity];
};

// Sets the unpack up: whether it removes what the build does not hold, and which record it
// reads and writes. A start that takes a folder over holds the target lock from then on.
void prepare_build_folder(const BuildFolder& build, const LaunchState& state, Unpack& unpack,
                          BuildRecords& records);
