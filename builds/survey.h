#pragma once
// One listing of the folder that holds the build folders: the application's other builds,
// each with its marker's time, and what earlier removals left.
#include <windows.h>

#include <cstdint>

#include "builds/build_folder.h"

constexpr int other_build_capacity = 64;
// What a removal renames a build folder to: NAME-ID.removing and a suffix of its own.
constexpr wchar_t removal_suffix[] = L".removing";

enum class Owner { unknown, this_launcher, gone, other };

struct OtherBuild {
  wchar_t leaf[build_leaf_capacity];
  uint64_t last_start;  // from its marker; 0 while none was found
  bool has_folder;      // a marker can outlast its folder
  Owner owner;          // from its marker's content, once read
};

struct Survey {
  OtherBuild builds[other_build_capacity];
  int count;
  wchar_t leftovers[other_build_capacity][MAX_PATH];
  int leftover_count;
};

// Lists the parent folder once into survey. The build itself is never among the others,
// but what a removal of it left is among the leftovers.
void survey_builds(Survey& survey, const BuildFolder& build);

// parent\name followed by suffix into path; false when it does not fit.
bool in_parent(wchar_t (&path)[target_directory_capacity], const BuildFolder& build,
               const wchar_t* name, const wchar_t* suffix);

uint64_t to_u64(const FILETIME& time);
