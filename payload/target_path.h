#pragma once
// Paths of archive entries below the target directory: the directory, one backslash and
// the entry's name, whatever the directory ends with.
#include <cstddef>

#include "support/launch_state.h"

constexpr size_t target_path_capacity = file_path_capacity;

// Whether the path of name below a target of target_length units fits the path buffer.
bool target_path_fits(size_t target_length, const wchar_t* name);
// Writes the path into path (target_path_capacity units); false when it does not fit, and
// path then holds nothing usable.
bool build_target_path(wchar_t* path, const wchar_t* target, size_t target_length,
                       const wchar_t* name);
