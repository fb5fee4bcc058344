#pragma once
#include <cstdint>
#include <vector>

#include "pack/image/icon_set.h"

namespace pack {

// Sizes of the default icon set, smallest first.
constexpr uint32_t default_icon_sizes[] = {16, 32, 48, 64, 128, 256};

// The project's own icon (a package drawn as an amber cube on a blue tile) as RGBA pixels.
std::vector<unsigned char> draw_default_icon(uint32_t size);

// The six default images, 32-bit PNGs, for icon group 1.
std::vector<IconImage> default_icons();

}  // namespace pack
