#pragma once
#include <string>
#include <vector>

#include "pack/image/version_number.h"

namespace pack {

// What the version resource says about the packaged application.
struct VersionResource {
  VersionNumber version{};
  std::u16string file_name;     // OriginalFilename and InternalName
  std::u16string product_name;  // ProductName and FileDescription
};

// The resource's bytes (VS_VERSIONINFO): fixed file information, one language-neutral
// UTF-16 string table and the translation entry for it.
std::vector<unsigned char> version_resource_bytes(const VersionResource& info);

}  // namespace pack
