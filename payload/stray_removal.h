#pragma once
// After a takeover (builds/takeover.h), what the earlier build left below the folder and the
// new one does not hold goes, and so does what its program made there: the folder then holds
// exactly what a first start writes.
#include "payload/name_list.h"

struct StrayCensus;

struct StrayRemoval {
  int files_removed;
  // Nothing stays that should go; false also when the names were not whole and nothing was
  // looked at.
  bool all_gone;
};

// Removes below target_directory every file and folder that none of names is or holds,
// a link as a link, never what it leads to. With a census whole (payload/stray_census.h), only
// in the folders it flagged: what lies elsewhere is the build's.
StrayRemoval remove_strays(const wchar_t* target_directory, NameList& names,
                           const StrayCensus* census);
