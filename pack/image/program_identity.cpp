#include "pack/image/program_identity.h"

#include <algorithm>
#include <fstream>
#include <map>

#include "pack/image/pe_headers.h"
#include "pack/pack_error.h"
#include "pack/platform/file_reader.h"

namespace pack {
namespace {

using Bytes = std::vector<unsigned char>;

constexpr uint32_t language_neutral = 0, language_us_english = 0x409;
constexpr size_t group_header_size = 6, group_entry_size = 14;

using Languages = std::vector<const ResourceLeaf*>;

bool same_name(const ResourceLeaf& a, const ResourceLeaf& b) {
  return a.name == b.name && a.id == b.id;
}

// Of the languages of one resource, the one given first, else neutral, else US
// English (what the system falls back to), else the first listed.
const ResourceLeaf* pick_language(const Languages& found, std::optional<uint32_t> wanted) {
  if (found.empty()) return nullptr;
  for (std::optional<uint32_t> language : {wanted, std::optional<uint32_t>(language_neutral),
                                           std::optional<uint32_t>(language_us_english)}) {
    if (!language) continue;
    for (const ResourceLeaf* leaf : found) {
      if (leaf->language == *language) return leaf;
    }
  }
  return found.front();
}

// The first resource of a type in directory order, the one the system shows.
const ResourceLeaf* first_of(const std::vector<ResourceLeaf>& leaves, uint32_t type) {
  for (const ResourceLeaf& named : leaves) {
    if (named.type != type) continue;
    Languages found;
    for (const ResourceLeaf& leaf : leaves) {
      if (leaf.type == type && same_name(leaf, named)) found.push_back(&leaf);
    }
    return pick_language(found, std::nullopt);
  }
  return nullptr;
}

// The languages of each icon image by its id, looked up once per group entry.
std::map<uint32_t, Languages> icons_by_id(const std::vector<ResourceLeaf>& leaves) {
  std::map<uint32_t, Languages> icons;
  for (const ResourceLeaf& leaf : leaves) {
    if (leaf.type == rt_icon && leaf.name.empty()) icons[leaf.id].push_back(&leaf);
  }
  return icons;
}

std::vector<IconImage> icon_group(const ResourceBytes& section,
                                  const std::vector<ResourceLeaf>& leaves) {
  const ResourceLeaf* group = first_of(leaves, rt_group_icon);
  if (!group) return {};
  Bytes bytes = resource_data(section, *group);
  if (bytes.size() < group_header_size || get_le(&bytes[0], 2) != 0 || get_le(&bytes[2], 2) != 1) {
    throw PackError("its icon group has no icon header");
  }
  size_t count = get_le(&bytes[4], 2);
  if (count == 0) throw PackError("its icon group lists no images");
  if (group_header_size + count * group_entry_size > bytes.size()) {
    throw PackError("its icon group is cut short");
  }
  std::map<uint32_t, Languages> icons = icons_by_id(leaves);
  static const Languages none;
  std::vector<IconImage> images;
  uint64_t image_bytes = 0;
  for (size_t i = 0; i < count; ++i) {
    const unsigned char* entry = &bytes[group_header_size + i * group_entry_size];
    uint32_t id = get_le(entry + 12, 2);
    auto languages = icons.find(id);
    const ResourceLeaf* icon =
        pick_language(languages == icons.end() ? none : languages->second, group->language);
    std::string which = "image " + std::to_string(i + 1) + " (icon " + std::to_string(id);
    if (!icon) throw PackError(which + ") is missing");
    IconImage image;
    image.width = entry[0];
    image.height = entry[1];
    image.colors = entry[2];
    image.data = resource_data(section, *icon);
    if (image.data.empty()) throw PackError(which + ") is empty");
    // Distinct images fit in the section; a group naming one image over and over would
    // otherwise take its size as many times, up to 65535.
    image_bytes += image.data.size();
    if (image_bytes > section.bytes.size()) {
      throw PackError("its icon group names more image data than its resource section holds");
    }
    images.push_back(std::move(image));
  }
  // The checks of an icon file, which also take planes and bit counts from the images.
  IconParse parsed = parse_icon(icon_file_bytes(images));
  if (!parsed.problem.empty()) throw PackError(parsed.problem);
  return parsed.images;
}

}  // namespace

ProgramIdentity read_identity(const ResourceBytes& section) {
  ProgramIdentity identity;
  std::vector<ResourceLeaf> leaves;
  try {
    leaves = read_resource_leaves(section, {rt_icon, rt_group_icon, rt_version});
  } catch (const PackError& error) {
    identity.resources_problem = error.what();
    return identity;
  }
  try {
    identity.icons = icon_group(section, leaves);
  } catch (const PackError& error) {
    identity.icon_problem = error.what();
  }
  try {
    if (const ResourceLeaf* version = first_of(leaves, rt_version)) {
      ProgramVersion parsed = parse_program_version(resource_data(section, *version));
      // Its strings without its numbers would make a launcher of two programs.
      if (parsed.fixed_unusable) {
        throw PackError("its fixed information lacks the 0xFEEF04BD signature or is cut short");
      }
      identity.version = std::move(parsed);
    }
  } catch (const PackError& error) {
    identity.version_problem = error.what();
  }
  return identity;
}

ProgramIdentity read_program_identity(const std::filesystem::path& program) {
  std::ifstream in(program, std::ios::binary);
  Bytes head = read_range(in, 0, resource_head_bytes);
  std::optional<ResourceRange> range;
  try {
    range = resource_range(head.data(), head.size());
  } catch (const PackError& error) {
    ProgramIdentity identity;
    identity.resources_problem = error.what();
    return identity;
  }
  if (!range) return {};
  return read_identity({read_range(in, range->offset, range->size), range->rva});
}

void ResourceCapture::add(const unsigned char* data, size_t size) {
  if (!located_) {
    size_t take = std::min(size, resource_head_bytes - head_.size());
    head_.insert(head_.end(), data, data + take);
    seen_ += take;
    data += take;
    size -= take;
    if (head_.size() < resource_head_bytes) return;
    locate();
  }
  if (range_) {
    uint64_t from = range_->offset + section_.size();
    uint64_t to = std::min(seen_ + size, range_->offset + range_->size);
    if (to > from) section_.insert(section_.end(), data + (from - seen_), data + (to - seen_));
  }
  seen_ += size;
}

void ResourceCapture::locate() {
  located_ = true;
  try {
    range_ = resource_range(head_.data(), head_.size());
  } catch (const PackError& error) {
    problem_ = error.what();
  }
  if (range_ && range_->offset < head_.size()) {
    uint64_t to = std::min<uint64_t>(head_.size(), range_->offset + range_->size);
    section_.assign(head_.begin() + static_cast<ptrdiff_t>(range_->offset),
                    head_.begin() + static_cast<ptrdiff_t>(to));
  }
  head_ = Bytes();
}

ProgramIdentity ResourceCapture::finish() {
  if (!located_) locate();
  ProgramIdentity identity;
  if (!problem_.empty()) {
    identity.resources_problem = problem_;
  } else if (range_) {
    identity = read_identity({std::move(section_), range_->rva});
  }
  return identity;
}

}  // namespace pack
