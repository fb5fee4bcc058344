#pragma once
// Process-wide buffers that more than one subsystem reads. Capacities count the
// terminator and are the only sizes ever passed for these buffers.
#include <cstddef>

constexpr size_t target_directory_capacity = 4096;
constexpr size_t file_path_capacity = 4096;

// The expanded target directory, made absolute.
extern wchar_t target_directory[target_directory_capacity];
// Full path of the first archive entry: the program run as the child.
extern wchar_t child_executable_path[file_path_capacity];
