#pragma once
#include <filesystem>
#include <optional>
#include <string>

#include "pack/cli/pack_options.h"
#include "pack/image/version_resource.h"

namespace pack {

// The --target-dir template, refused in one line when the launcher could not expand it.
std::u16string checked_spec(const std::string& spec);

// The default target directory: a folder per app (its main executable's name) and per
// build (the payload's content id), both written as literal text.
std::u16string default_target_dir(const std::u16string& main_name, const std::string& id);

// What the version resource says: the options first, then the main executable's own
// version resource (main_file, when packing a folder), then the defaults.
VersionResource version_resource(const PackOptions& options, const std::u16string& main_name,
                                 const std::optional<std::filesystem::path>& main_file);

}  // namespace pack
