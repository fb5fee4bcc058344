#pragma once
// The target template's placeholders, in the order the tool's help gives them: one table
// that the launcher's expansion, the tool's check of a template and its help all read.
// Names are ASCII and matched without regard to ASCII letter case.
#include <cstddef>

enum class Placeholder {
  cache_dir,
  program_dir,
  program,
  program_base,
  temp,
  home,
  pid,
  random,
  time,
  time_us,
  version,
};

struct PlaceholderName {
  const char* name;
  Placeholder kind;
  // Its value is a full path: a template that starts with it is absolute.
  bool full_path;
};

constexpr PlaceholderName placeholder_names[] = {
    {"CACHE_DIR", Placeholder::cache_dir, true},
    {"PROGRAM_DIR", Placeholder::program_dir, true},
    {"PROGRAM", Placeholder::program, true},
    {"PROGRAM_BASE", Placeholder::program_base, true},
    {"TEMP", Placeholder::temp, true},
    {"HOME", Placeholder::home, true},
    {"PID", Placeholder::pid, false},
    {"RANDOM", Placeholder::random, false},
    {"TIME", Placeholder::time, false},
    {"TIME_US", Placeholder::time_us, false},
    {"VERSION", Placeholder::version, false},
    {"FILE_VERSION", Placeholder::version, false},
    {"PRODUCT_VERSION", Placeholder::version, false},
};

// The entry whose name is name[0..length) (any code units), or nullptr.
template <typename Unit>
const PlaceholderName* find_placeholder_name(const Unit* name, size_t length) {
  for (const PlaceholderName& entry : placeholder_names) {
    size_t i = 0;
    for (; i < length && entry.name[i] != 0; ++i) {
      Unit unit = name[i];
      if (unit >= 'a' && unit <= 'z') unit = static_cast<Unit>(unit - 'a' + 'A');
      if (unit != static_cast<Unit>(entry.name[i])) break;
    }
    if (i == length && entry.name[i] == 0) return &entry;
  }
  return nullptr;
}
