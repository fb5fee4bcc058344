#include <windows.h>

#include "pack/scan/windows_names.h"

namespace pack {

// The system's own upper-casing, unit by unit as the file system compares names.
std::u16string fold_case(std::u16string_view name) {
  std::u16string folded(name);
  for (char16_t& c : folded) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    wchar_t unit = static_cast<wchar_t>(c);
    CharUpperBuffW(&unit, 1);
    c = static_cast<char16_t>(unit);
  }
  return folded;
}

}  // namespace pack
