#include "paths/spec_expansion.h"

#include <cwchar>

#include "paths/cache_dir.h"
#include "paths/placeholder_names.h"
#include "paths/placeholder_values.h"
#include "paths/shared_values.h"

namespace {

// Names longer than this cannot be a placeholder; the token buffer holds them with
// their terminator.
constexpr size_t name_capacity = 1024;

// The kind named, or nullptr when none is.
const PlaceholderName* find_placeholder(const wchar_t* name) {
  return find_placeholder_name(name, wcslen(name));
}

// The text so far: written while it fits, counted to its end.
struct Expander {
  wchar_t* out;
  uint64_t capacity;
  size_t length;
  uint64_t needed;
  bool overflowed;
  bool cache_dir_moved;
};

// The value into value; false when the name is unknown or the value cannot be had.
bool value_of(Placeholder kind, wchar_t* value, Expander& expander) {
  switch (kind) {
    case Placeholder::temp:
      return temp_value(value);
    case Placeholder::program:
    case Placeholder::program_base:
    case Placeholder::program_dir:
      return program_value(value);
    case Placeholder::pid:
      pid_value(value);
      return true;
    case Placeholder::home:
      return profile_folder_value(value);
    case Placeholder::cache_dir:
      return cache_dir_value(value, &expander.cache_dir_moved);
    case Placeholder::version:
      version_value(value);
      return true;
    case Placeholder::random:
      random_value(value);
      return true;
    case Placeholder::time_us:
      time_us_value(value);
      return true;
    case Placeholder::time:
      start_time_value(value);
      return true;
  }
  return false;
}

// The units of the whole value that the placeholder keeps.
size_t kept_length(Placeholder kind, const wchar_t* value) {
  if (kind == Placeholder::program_base) return program_base_length(value);
  if (kind == Placeholder::program_dir) return program_dir_length(value);
  return wcslen(value);
}

bool trims_backslashes(Placeholder kind) {
  return kind == Placeholder::temp || kind == Placeholder::home || kind == Placeholder::cache_dir;
}

// Appends kept units of a value of whole units, unless the text no longer fits.
void append_units(Expander& expander, const wchar_t* units, size_t whole, size_t kept) {
  expander.needed += expander.overflowed ? kept : whole;
  if (expander.overflowed || whole >= expander.capacity - expander.length) {
    expander.overflowed = true;
    return;
  }
  wmemcpy(expander.out + expander.length, units, kept);
  expander.length += kept;
  expander.out[expander.length] = 0;
}

bool expand_placeholder(Expander& expander, const wchar_t* name) {
  const PlaceholderName* found = find_placeholder(name);
  if (found == nullptr) return false;
  Placeholder kind = found->kind;
  wchar_t value[placeholder_value_capacity];
  if (!value_of(kind, value, expander)) return false;
  append_units(expander, value, wcslen(value), kept_length(kind, value));
  if (trims_backslashes(kind) && !expander.overflowed) {
    expander.length = drop_trailing_backslashes(expander.out, expander.length);
  }
  return true;
}

}  // namespace

bool expand_target_spec(wchar_t* out, const wchar_t* spec, uint64_t capacity,
                        ExpansionReport* report) {
  if (capacity == 0) return false;  // not even room for the terminator
  out[0] = 0;
  Expander expander = {out, capacity, 0, 0, false, false};
  wchar_t name[name_capacity];
  size_t name_length = 0;
  bool in_token = false;
  bool name_too_long = false;
  bool expanded = true;
  for (const wchar_t* unit = spec; *unit != 0 && expanded; ++unit) {
    if (*unit == L'{') {
      in_token = true;
      name_length = 0;
      name_too_long = false;
    } else if (*unit == L'}' && in_token) {
      in_token = false;
      name[name_length] = 0;
      expanded = !name_too_long && expand_placeholder(expander, name);
    } else if (in_token) {
      if (name_length + 1 < name_capacity) {
        name[name_length++] = *unit;
      } else {
        name_too_long = true;
      }
    } else {
      // A literal unit, a stray "}" included, needs room for itself and the terminator.
      append_units(expander, unit, 1, 1);
    }
  }
  if (report != nullptr) {
    *report =
        ExpansionReport{expanded && expander.overflowed, expander.needed, expander.cache_dir_moved};
  }
  return expanded && !expander.overflowed;
}
