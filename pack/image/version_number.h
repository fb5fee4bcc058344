#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pack {

using VersionNumber = std::array<uint16_t, 4>;

// "A.B.C.D", each part decimal 0 to 65535; nothing else is accepted.
std::optional<VersionNumber> parse_version(std::string_view text);

// The canonical text, without leading zeros: what the launcher and resource carry.
std::string format_version(const VersionNumber& version);
// The same as UTF-16, as the record and the version resource hold it.
std::u16string format_version_u16(const VersionNumber& version);

}  // namespace pack
