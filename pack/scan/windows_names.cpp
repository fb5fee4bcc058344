#include "pack/scan/windows_names.h"

namespace pack {
namespace {

bool is_forbidden_unit(char16_t c) {
  if (c < 0x20) return true;
  switch (c) {
    case u'<':
    case u'>':
    case u':':
    case u'"':
    case u'/':
    case u'\\':
    case u'|':
    case u'?':
    case u'*':
      return true;
    default:
      return false;
  }
}

char16_t ascii_upper(char16_t c) { return (c >= u'a' && c <= u'z') ? c - 32 : c; }

bool equals_ascii_upper(std::u16string_view text, std::string_view upper) {
  if (text.size() != upper.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (ascii_upper(text[i]) != static_cast<char16_t>(upper[i])) return false;
  }
  return true;
}

// COM and LPT take a digit, or the superscript digits one to three, which Windows
// treats the same way.
bool is_port_suffix(char16_t c) {
  return (c >= u'0' && c <= u'9') || c == 0x00B9 || c == 0x00B2 || c == 0x00B3;
}

// Device names stay devices with any extension, and with spaces before it.
bool is_reserved_device(std::u16string_view name) {
  std::u16string_view stem = name.substr(0, name.find(u'.'));
  while (!stem.empty() && stem.back() == u' ') stem.remove_suffix(1);
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (equals_ascii_upper(stem, device)) return true;
  }
  if (stem.size() != 4 || !is_port_suffix(stem[3])) return false;
  return equals_ascii_upper(stem.substr(0, 3), "COM") ||
         equals_ascii_upper(stem.substr(0, 3), "LPT");
}

}  // namespace

std::string windows_name_problem(std::u16string_view component) {
  if (component.empty()) return "empty name";
  for (char16_t c : component) {
    if (c < 0x20) return "name holds a control character, which Windows does not allow";
    if (is_forbidden_unit(c)) {
      return std::string("name holds '") + static_cast<char>(c) +
             "', which Windows does not allow in file names";
    }
  }
  if (component.back() == u'.' || component.back() == u' ') {
    return "name ends with a dot or a space, which Windows drops";
  }
  if (is_reserved_device(component)) return "name is a reserved device name on Windows";
  return "";
}

}  // namespace pack
