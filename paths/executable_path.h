#pragma once
#include <cstddef>

#include "support/failure.h"

constexpr size_t executable_path_capacity = 4097;

// The launcher's module file name into path (executable_path_capacity units); a failure
// when the system cannot tell it or it does not fit.
Failure read_launcher_path(wchar_t* path);
// The module file name resolved to the file really opened, unprefixed and with a short
// directory part, into path (executable_path_capacity units); what cannot be resolved stays
// as the system reported it.
Failure resolve_final_executable_path(wchar_t* path);
// path cut at its last backslash, into directory (executable_path_capacity units).
void path_directory(wchar_t* directory, const wchar_t* path);
