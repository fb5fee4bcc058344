#include "paths/spec_expansion.h"

#include <cwchar>

#include "paths/cache_dir.h"
#include "paths/placeholder_values.h"
#include "paths/shared_values.h"

namespace {

// Names longer than this cannot be a placeholder; the token buffer holds them with
// their terminator.
constexpr size_t name_capacity = 1024;

enum class placeholder {
  unknown,
  temp,
  program,
  program_base,
  program_dir,
  pid,
  home,
  cache_dir,
  version,
  random,
  time_us,
  time,
};

struct placeholder_name {
  const wchar_t* name;
  placeholder kind;
};

constexpr placeholder_name placeholder_names[] = {
    {L"TEMP", placeholder::temp},
    {L"PROGRAM", placeholder::program},
    {L"PROGRAM_BASE", placeholder::program_base},
    {L"PROGRAM_DIR", placeholder::program_dir},
    {L"PID", placeholder::pid},
    {L"HOME", placeholder::home},
    {L"CACHE_DIR", placeholder::cache_dir},
    {L"VERSION", placeholder::version},
    {L"FILE_VERSION", placeholder::version},
    {L"PRODUCT_VERSION", placeholder::version},
    {L"RANDOM", placeholder::random},
    {L"TIME_US", placeholder::time_us},
    {L"TIME", placeholder::time},
};

placeholder find_placeholder(const wchar_t* name) {
  for (const placeholder_name& entry : placeholder_names) {
    if (_wcsicmp(name, entry.name) == 0) return entry.kind;
  }
  return placeholder::unknown;
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
bool value_of(placeholder kind, wchar_t* value, Expander& expander) {
  switch (kind) {
    case placeholder::temp:
      return temp_value(value);
    case placeholder::program:
    case placeholder::program_base:
    case placeholder::program_dir:
      return program_value(value);
    case placeholder::pid:
      pid_value(value);
      return true;
    case placeholder::home:
      return profile_folder_value(value);
    case placeholder::cache_dir:
      return cache_dir_value(value, &expander.cache_dir_moved);
    case placeholder::version:
      version_value(value);
      return true;
    case placeholder::random:
      random_value(value);
      return true;
    case placeholder::time_us:
      time_us_value(value);
      return true;
    case placeholder::time:
      start_time_value(value);
      return true;
    case placeholder::unknown:
      break;
  }
  return false;
}

// The units of the whole value that the placeholder keeps.
size_t kept_length(placeholder kind, const wchar_t* value) {
  if (kind == placeholder::program_base) return program_base_length(value);
  if (kind == placeholder::program_dir) return program_dir_length(value);
  return wcslen(value);
}

bool trims_backslashes(placeholder kind) {
  return kind == placeholder::temp || kind == placeholder::home || kind == placeholder::cache_dir;
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
  placeholder kind = find_placeholder(name);
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
