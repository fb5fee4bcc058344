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

// Appends the value at end; false when the name is unknown or the value cannot be had.
bool append_value(placeholder kind, wchar_t* end, uint64_t room) {
  switch (kind) {
    case placeholder::temp:
      return append_temp(end, room);
    case placeholder::program:
      return append_program(end, room);
    case placeholder::program_base:
      return append_program_base(end, room);
    case placeholder::program_dir:
      return append_program_dir(end, room);
    case placeholder::pid:
      append_pid(end, room);
      return true;
    case placeholder::home:
      return append_profile_folder(end, room);
    case placeholder::cache_dir:
      return append_cache_dir(end, room);
    case placeholder::version:
      append_version(end, room);
      return true;
    case placeholder::random:
      append_random(end, room);
      return true;
    case placeholder::time_us:
      append_time_us(end, room);
      return true;
    case placeholder::time:
      append_start_time(end, room);
      return true;
    case placeholder::unknown:
      break;
  }
  return false;
}

bool trims_backslashes(placeholder kind) {
  return kind == placeholder::temp || kind == placeholder::home || kind == placeholder::cache_dir;
}

// Appends the value of the placeholder named name at out[*length] and moves *length
// to the new end.
bool expand_placeholder(const wchar_t* name, wchar_t* out, size_t* length, uint64_t capacity) {
  placeholder kind = find_placeholder(name);
  if (!append_value(kind, out + *length, capacity - *length)) return false;
  *length += wcslen(out + *length);
  if (trims_backslashes(kind)) *length = drop_trailing_backslashes(out, *length);
  return true;
}

}  // namespace

bool expand_target_spec(wchar_t* out, const wchar_t* spec, uint64_t capacity) {
  if (capacity == 0) return false;  // not even room for the terminator
  out[0] = 0;
  size_t length = 0;
  wchar_t name[name_capacity];
  size_t name_length = 0;
  bool in_token = false;
  bool name_too_long = false;
  for (const wchar_t* unit = spec; *unit != 0; ++unit) {
    if (*unit == L'{') {
      in_token = true;
      name_length = 0;
      name_too_long = false;
    } else if (*unit == L'}' && in_token) {
      in_token = false;
      if (name_too_long) return false;
      name[name_length] = 0;
      if (!expand_placeholder(name, out, &length, capacity)) return false;
    } else if (in_token) {
      if (name_length + 1 < name_capacity) {
        name[name_length++] = *unit;
      } else {
        name_too_long = true;
      }
    } else {
      // A literal unit, a stray "}" included, needs room for itself and the terminator.
      if (capacity - length <= 1) return false;
      out[length++] = *unit;
      out[length] = 0;
    }
  }
  return true;
}
