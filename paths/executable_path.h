#pragma once
#include <cstddef>

constexpr size_t executable_path_capacity = 4097;
constexpr size_t module_path_capacity = 4096;

extern wchar_t executable_path_plain[executable_path_capacity];
extern wchar_t executable_path_final[executable_path_capacity];
extern wchar_t executable_directory[executable_path_capacity];
extern wchar_t module_path[module_path_capacity];

// Makes target_directory absolute in place; aborts when the system cannot.
void normalize_target_directory();
// The launcher's module file name as reported (plain) or resolved, unprefixed and
// with a short directory part (final). Cached in the buffers above.
const wchar_t* resolve_executable_path(bool final);
void to_short_path();
// path cut at its last backslash, into executable_directory.
const wchar_t* path_directory(const wchar_t* path);
// The module file name for the child's argv[0]; aborts when it cannot be read.
const wchar_t* module_file_name();
