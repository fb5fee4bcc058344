#pragma once
// Where {CACHE_DIR} leads: the user's local application data, or the absolute folder that
// KOVRAN_ONEFILE_CACHE_DIR names (locked-down machines and CI runners move it there).
#include "support/failure.h"

constexpr char cache_dir_variable[] = "KOVRAN_ONEFILE_CACHE_DIR";

// A value that is relative (builds would go wherever the launcher happens to be started
// from) or longer than a target directory can be is refused before anything is expanded;
// no_failure when the variable is unset or usable.
Failure check_cache_dir_override();
// The cache folder into value (placeholder_value_capacity units); false when it cannot be
// had. *moved tells whether it came from the variable.
bool cache_dir_value(wchar_t* value, bool* moved);
// An absolute path to a folder: a drive's root (a letter, a colon, a backslash or slash) or a
// share (\\server\share), in their long forms too (\\?\D:\, \\?\UNC\server\share), then folder
// names that the system keeps as they are: none empty, ending in a dot or a space, holding
// a character no name may hold, or naming a device.
bool is_absolute_path(const wchar_t* path);
