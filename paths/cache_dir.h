#pragma once
// Where {CACHE_DIR} leads: the user's local application data, or the absolute folder that
// KOVRAN_ONEFILE_CACHE_DIR names (locked-down machines and CI runners move it there).
#include <cstdint>

constexpr char cache_dir_variable[] = "KOVRAN_ONEFILE_CACHE_DIR";

// The variable's value when it is set and not absolute, for the launcher's refusal; the
// caller frees it. nullptr otherwise.
wchar_t* relative_cache_dir_override();
// Appends the cache folder at end, with room units left; false when it cannot be had.
bool append_cache_dir(wchar_t* end, uint64_t room);
// A drive letter, a colon and a backslash or slash, or two backslashes (or slashes).
bool is_absolute_path(const wchar_t* path);
