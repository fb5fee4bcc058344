#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace pack {

// Strict UTF-8 to UTF-16: no overlong forms, no encoded surrogates, nothing past U+10FFFF.
std::optional<std::u16string> utf8_to_utf16(std::string_view text);

// For messages only; lone surrogates become U+FFFD.
std::string utf16_to_utf8(std::u16string_view text);

}  // namespace pack
