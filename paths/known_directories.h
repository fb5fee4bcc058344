#pragma once
// Folders known to exist, so that later files in them cost no system call. Entries are only
// ever added, at the end, and live until the process ends.

struct Trace;

constexpr int known_directories_capacity = 1024;

struct KnownDirectories {
  wchar_t* entries[known_directories_capacity];
  int count;
  // Whether the profile folder was looked for, which comes first (paths/directories.cpp).
  bool profile_looked_up;
  // Where a folder that cannot be made is told; null: nowhere.
  const Trace* trace;
};

bool is_known_directory(const KnownDirectories& known, const wchar_t* folder);
// Records a copy of folder unless the list is full.
void remember_directory(KnownDirectories& known, const wchar_t* folder);
