#pragma once
#include <cstddef>

// Whether an archive entry name stays a plain file below the target directory, by the rule
// the pack tool writes and checks names with (payload/entry_name_rule.h).
bool is_safe_entry_name(const wchar_t* name);
// The units of a name's folder part, its last backslash included: 0 for a name at the top.
size_t entry_folder_length(const wchar_t* name);
