#include "pack/image/version_number.h"

namespace pack {

std::optional<VersionNumber> parse_version(std::string_view text) {
  VersionNumber version{};
  size_t part = 0;
  size_t pos = 0;
  while (true) {
    size_t digits = 0;
    uint32_t value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 6) {
      value = value * 10 + static_cast<uint32_t>(text[pos++] - '0');
      ++digits;
    }
    if (digits == 0 || value > 65535) return std::nullopt;
    version[part++] = static_cast<uint16_t>(value);
    if (part == 4) break;
    if (pos >= text.size() || text[pos] != '.') return std::nullopt;
    ++pos;
  }
  if (pos != text.size()) return std::nullopt;
  return version;
}

std::string format_version(const VersionNumber& version) {
  return std::to_string(version[0]) + "." + std::to_string(version[1]) + "." +
         std::to_string(version[2]) + "." + std::to_string(version[3]);
}

std::u16string format_version_u16(const VersionNumber& version) {
  std::string text = format_version(version);
  return std::u16string(text.begin(), text.end());
}

}  // namespace pack
