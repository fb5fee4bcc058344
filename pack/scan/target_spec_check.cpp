#include "pack/scan/target_spec_check.h"

#include "pack/scan/utf.h"

namespace pack {
namespace {

constexpr size_t target_directory_units = 4096;

// The launcher folds ASCII letters only.
std::u16string ascii_upper(std::u16string_view text) {
  std::u16string upper(text);
  for (char16_t& c : upper) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
  }
  return upper;
}

bool is_placeholder(std::u16string_view name) {
  static const char16_t* const names[] = {
      u"TEMP",   u"PROGRAM",   u"PROGRAM_BASE", u"PROGRAM_DIR",  u"PID",
      u"HOME",   u"CACHE_DIR", u"VERSION",      u"FILE_VERSION", u"PRODUCT_VERSION",
      u"RANDOM", u"TIME_US",   u"TIME"};
  std::u16string upper = ascii_upper(name);
  for (const char16_t* known : names) {
    if (upper == known) return true;
  }
  return false;
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
  static const char16_t* const absolute_starts[] = {
      u"{TEMP}", u"{HOME}", u"{CACHE_DIR}", u"{PROGRAM_DIR}", u"{PROGRAM_BASE}", u"{PROGRAM}"};
  std::u16string head = ascii_upper(spec.substr(0, 16));
  for (const char16_t* start : absolute_starts) {
    if (head.rfind(start, 0) == 0) return "";
  }
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
