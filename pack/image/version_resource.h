#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "pack/image/version_number.h"

namespace pack {

// VS_FIXEDFILEINFO after its signature and structure version; the defaults describe an
// application.
struct FixedVersionInfo {
  VersionNumber file_version{};
  VersionNumber product_version{};
  uint32_t flags_mask = 0x3F;
  uint32_t flags = 0;
  uint32_t os = 4;  // 32-bit Windows
  uint32_t type = 1;
  uint32_t subtype = 0;
  uint32_t date_ms = 0;
  uint32_t date_ls = 0;
};

using VersionStrings = std::vector<std::pair<std::u16string, std::u16string>>;

// What the version resource says about the packaged application: fixed information and
// one string table, whose language and code page the translation entry repeats.
struct VersionResource {
  FixedVersionInfo fixed;
  uint16_t language = 0;      // neutral
  uint16_t code_page = 1200;  // UTF-16
  VersionStrings strings;     // key and value, in order
};

// The string that names the tool and version that made a launcher, under a key of its own
// so that nothing of the program's table is lost: "kovran-onefile VERSION".
constexpr std::u16string_view packed_by_key = u"PackedBy";
std::u16string packed_by_value();

// The value of key, or nullptr.
const std::u16string* version_string(const VersionResource& resource, std::u16string_view key);
// Replaces the value of key where it stands, or adds the pair at the end.
void set_version_string(VersionResource& resource, std::u16string_view key,
                        const std::u16string& value);

// The resource's bytes (VS_VERSIONINFO).
std::vector<unsigned char> version_resource_bytes(const VersionResource& info);

}  // namespace pack
