#pragma once
// What a start under the stamp rule finds before it decodes anything: each folder of the
// index listed once, by threads beside the main one when there are many.
#include <cstdint>

#include "payload/stamp_rule.h"

// True when every entry's file is current by its size and stamp; then child_path is the
// first entry's path. Otherwise remembers which were.
bool every_file_is_stamped(StampRule& rule, wchar_t* child_path);

// Whether the listing found the file of the archive's entry number `entry` (counted from
// 0) current.
bool listed_as_current(const StampRule& rule, uint64_t entry);
