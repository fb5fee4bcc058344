#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "pack/scan/app_files.h"

namespace pack {

// Keeps the output from destroying or swallowing an input. Removes from files the
// output's temporary file, and the output itself when it is a launcher this tool made
// (a note for the user is returned then); refuses when the output is any other file
// of the scan, since that is the user's own.
std::vector<AppFile> leave_out_output(std::vector<AppFile> files,
                                      const std::filesystem::path& output, std::string& note);

// The output's checks before any work, and a warning ("" if none) for a name that
// Windows would not run as a program.
std::string output_name_warning(const std::filesystem::path& output);

}  // namespace pack
