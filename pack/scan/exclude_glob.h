#pragma once
#include <string>
#include <utility>
#include <vector>

#include "pack/scan/app_files.h"

namespace pack {

// Whether a --exclude pattern matches a path relative to the app folder ("/" between
// folders) or one of the folders above it. "*" and "?" stay within one component, "**"
// spans any number of them; letter case is ignored, as on Windows.
bool exclude_matches(const std::string& pattern, const std::u16string& name);

struct ExcludeResult {
  std::vector<AppFile> kept;  // the files that no pattern matches
  // The others, each with the first pattern that matches it.
  std::vector<std::pair<AppFile, size_t>> left_out;
  std::vector<size_t> matches;  // for each pattern, how many files it matches
};

ExcludeResult apply_excludes(std::vector<AppFile> files, const std::vector<std::string>& patterns);

}  // namespace pack
