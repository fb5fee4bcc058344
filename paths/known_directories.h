#pragma once
// Folders known to exist, so that later files in them cost no system call. Entries
// are only ever added, at the end, and live until the process ends.

constexpr int known_directories_capacity = 1024;

extern wchar_t* known_directories[known_directories_capacity];
extern int known_directory_count;

bool is_known_directory(const wchar_t* folder);
// Records a copy of folder unless the list is full.
void remember_directory(const wchar_t* folder);
