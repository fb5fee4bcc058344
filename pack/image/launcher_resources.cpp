#include "pack/image/launcher_resources.h"

#include "pack/image/manifest.h"
#include "pack/image/resource_reader.h"

namespace pack {
namespace {

void put(std::vector<unsigned char>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// The icon group: a .ico directory whose entries name icon resources instead of offsets.
std::vector<unsigned char> icon_group(const std::vector<IconImage>& icons) {
  std::vector<unsigned char> out;
  put(out, 0, 2);
  put(out, 1, 2);
  put(out, static_cast<uint32_t>(icons.size()), 2);
  for (size_t i = 0; i < icons.size(); ++i) {
    const IconImage& image = icons[i];
    out.insert(out.end(), {image.width, image.height, image.colors, 0});
    put(out, image.planes, 2);
    put(out, image.bit_count, 2);
    put(out, static_cast<uint32_t>(image.data.size()), 4);
    put(out, static_cast<uint32_t>(i + 1), 2);
  }
  return out;
}

}  // namespace

std::vector<ResourceItem> launcher_resources(const std::vector<IconImage>& icons,
                                             const VersionResource& version) {
  std::vector<ResourceItem> items;
  for (size_t i = 0; i < icons.size(); ++i) {
    items.push_back({rt_icon, static_cast<uint16_t>(i + 1), icons[i].data});
  }
  items.push_back({rt_group_icon, 1, icon_group(icons)});
  items.push_back({rt_version, 1, version_resource_bytes(version)});
  std::string manifest = application_manifest();
  items.push_back({rt_manifest, 1, std::vector<unsigned char>(manifest.begin(), manifest.end())});
  return items;
}

}  // namespace pack
