#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "pack/icon_set.h"
#include "pack/output_transaction.h"
#include "pack/resource_script.h"
#include "pack/toolchain.h"

namespace pack {

// What goes into the launcher executable besides its prebuilt code.
struct LauncherParts {
  std::filesystem::path block;  // the attached payload, linked as it is
  uint64_t block_length = 0;
  std::u16string spec;
  std::vector<IconImage> icons;
  VersionResource version;
};

// Writes the generated sources into the work folder, compiles them and links the
// executable there; returns its path.
std::filesystem::path link_launcher(const LauncherParts& parts, const Toolchain& tools,
                                    OutputTransaction& work);

}  // namespace pack
