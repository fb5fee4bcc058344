#pragma once
#include "pack/cli/pack_options.h"

namespace pack {

// Builds the launcher executable that options describe. Throws PackError on bad input or
// a failing tool; the output is then left as it was.
void run_pack(const PackOptions& options);

}  // namespace pack
