#include "pack/scan/target_spec_check.h"

#include "pack/scan/utf.h"
#include "paths/placeholder_names.h"

namespace pack {
namespace {

constexpr size_t target_directory_units = 4096;

bool is_placeholder(std::u16string_view name) {
  return find_placeholder_name(name.data(), name.size()) != nullptr;
}

// Whether the template starts with a placeholder whose value is a full path.
bool starts_with_full_path(std::u16string_view spec) {
  if (spec.empty() || spec[0] != u'{') return false;
  size_t close = spec.find(u'}');
  if (close == std::u16string_view::npos) return false;
  const PlaceholderName* found = find_placeholder_name(spec.data() + 1, close - 1);
  return found != nullptr && found->full_path;
}

std::string unclosed(size_t position) {
  return "'{' at position " + std::to_string(position + 1) + " is not closed";
}

}  // namespace

std::string spec_problem(std::u16string_view spec) {
  if (spec.empty()) return "empty; give the folder to unpack into, such as {CACHE_DIR}\\MyApp";
  size_t literal_units = 0;
  size_t open = std::u16string_view::npos;
  for (size_t i = 0; i < spec.size(); ++i) {
    if (spec[i] == u'{') {
      if (open != std::u16string_view::npos) return unclosed(open);
      open = i;
    } else if (spec[i] == u'}') {
      if (open == std::u16string_view::npos) return "'}' without '{'";
      std::u16string_view name = spec.substr(open + 1, i - open - 1);
      if (!is_placeholder(name)) return "unknown placeholder {" + utf16_to_utf8(name) + "}";
      open = std::u16string_view::npos;
    } else if (open == std::u16string_view::npos) {
      ++literal_units;
    }
  }
  if (open != std::u16string_view::npos) return unclosed(open);
  if (literal_units >= target_directory_units) return "longer than a Windows path can be";
  return "";
}

std::string relative_spec_note(std::u16string_view spec) {
  if (starts_with_full_path(spec)) return "";
  auto slash = [](char16_t c) { return c == u'\\' || c == u'/'; };
  bool drive = spec.size() >= 2 && spec[1] == u':' &&
               ((spec[0] >= u'A' && spec[0] <= u'Z') || (spec[0] >= u'a' && spec[0] <= u'z'));
  if (drive && spec.size() >= 3 && slash(spec[2])) return "";
  if (spec.size() >= 2 && slash(spec[0]) && slash(spec[1])) return "";  // a network share
  if (drive)
    return "below the folder it is started from on drive " + utf16_to_utf8(spec.substr(0, 2));
  if (!spec.empty() && slash(spec[0])) {
    return "at the top of the drive it is started from";
  }
  return "below the folder it is started from, which need not be its own";
}

}  // namespace pack
