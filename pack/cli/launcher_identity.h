#pragma once
#include <filesystem>
#include <optional>
#include <string>

#include <vector>

#include "pack/cli/pack_options.h"
#include "pack/image/program_identity.h"
#include "pack/image/version_resource.h"

namespace pack {

// The --target-dir template, refused in one line when the launcher could not expand it.
std::u16string checked_spec(const std::string& spec);

// The default target directory: a folder per app (its main executable's name) and per
// build (the payload's content id), both written as literal text.
std::u16string default_target_dir(const std::u16string& main_name, const std::string& id);

// What the version resource says: the options first, then the main executable's own
// version resource (its fixed information and string table), then the defaults.
VersionResource version_resource(const PackOptions& options, const std::u16string& main_name,
                                 const std::optional<ProgramVersion>& main_version);

// One line for each part of the main executable's identity that is there but cannot be
// used, saying what the launcher carries instead.
std::vector<std::string> identity_warnings(const std::string& main_path,
                                           const ProgramIdentity& main, const PackOptions& options);

}  // namespace pack
