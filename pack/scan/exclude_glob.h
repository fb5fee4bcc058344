#pragma once
#include <string>
#include <vector>

#include "pack/scan/app_files.h"

namespace pack {

// Whether a --exclude pattern matches a path relative to the app folder ("/" between
// folders) or one of the folders above it. "*" and "?" stay within one component, "**"
// spans any number of them; letter case is ignored, as on Windows.
bool exclude_matches(const std::string& pattern, const std::u16string& name);

// The files that no pattern matches; count_left_out is set to how many were dropped.
std::vector<AppFile> apply_excludes(std::vector<AppFile> files,
                                    const std::vector<std::string>& patterns,
                                    size_t& count_left_out);

}  // namespace pack
