#pragma once
// A build folder of the default layout, {CACHE_DIR}\kovran-onefile\NAME-ID: one per build
// of an application, ID twelve hex digits of the build's content. Only such folders have
// an in-use marker beside them and are pruned, and only among themselves.
#include <cstddef>

#include "support/launch_state.h"

constexpr size_t build_id_digits = 12;
// NAME is at most this long, as the pack tool cuts it.
constexpr size_t build_leaf_capacity = 128;

struct BuildFolder {
  wchar_t parent[target_directory_capacity];  // ...\kovran-onefile
  wchar_t leaf[build_leaf_capacity];          // NAME-ID
  size_t prefix_length;                       // units of NAME-, which every build shares
};

// True when spec is the default layout and target_directory its expansion; fills build.
bool recognize_build_folder(BuildFolder* build, const wchar_t* spec,
                            const wchar_t* target_directory);

// Whether name is the build's prefix, twelve hex digits and suffix: exactly, or with
// anything after the suffix when open_ended.
bool is_build_name(const wchar_t* name, const BuildFolder& build, const wchar_t* suffix,
                   bool open_ended = false);
