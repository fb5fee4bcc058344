#pragma once
#include <string>
#include <string_view>

#include "pack/version_number.h"

namespace pack {

// What the version resource says about the packaged application.
struct VersionResource {
  VersionNumber version{};
  std::u16string file_name;     // OriginalFilename and InternalName
  std::u16string product_name;  // ProductName and FileDescription
};

// A wide string literal for the resource compiler: L"..." with quotes doubled and every
// unit outside printable ASCII written as \xHHHH.
std::string rc_wide_literal(std::u16string_view text);

// The resource script: icon group 1 from icon_file, manifest 1 from manifest_file, and
// the version resource, all language neutral.
std::string resource_script(const VersionResource& info, const std::string& icon_file,
                            const std::string& manifest_file);

}  // namespace pack
