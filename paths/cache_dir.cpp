#include "paths/cache_dir.h"

#include <cstdlib>

#include "paths/placeholder_values.h"
#include "support/bounded.h"
#include "support/environment.h"

namespace {

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool is_drive_letter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

}  // namespace

bool is_absolute_path(const wchar_t* path) {
  if (is_separator(path[0])) return is_separator(path[1]);
  return is_drive_letter(path[0]) && path[1] == L':' && is_separator(path[2]);
}

wchar_t* relative_cache_dir_override() {
  wchar_t* value = get_env_w(cache_dir_variable);
  if (value == nullptr || is_absolute_path(value)) {
    free(value);
    return nullptr;
  }
  return value;
}

bool append_cache_dir(wchar_t* end, uint64_t room) {
  wchar_t* moved = get_env_w(cache_dir_variable);
  if (moved == nullptr) return append_local_app_data(end, room);
  // A relative value never gets here: the launcher refuses it before expanding anything.
  append_bounded(end, moved, room);
  free(moved);
  return true;
}
