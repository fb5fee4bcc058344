#pragma once
#include <vector>

#include "pack/image/icon_set.h"
#include "pack/image/resource_section.h"
#include "pack/image/version_resource.h"

namespace pack {

// What every launcher carries: the icons (ids 1 up) and icon group 1, the version
// resource and the application manifest (type 24, id 1).
std::vector<ResourceItem> launcher_resources(const std::vector<IconImage>& icons,
                                             const VersionResource& version);

}  // namespace pack
