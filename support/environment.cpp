#include "support/environment.h"

#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <cwctype>

#include "support/bounded.h"
#include "support/decimal.h"

namespace {

constexpr size_t name_capacity = 40;
constexpr size_t value_capacity = 32768;

// Widens name one byte at a time into scratch; 39 characters fit, 40 abort.
void widen_name(const char* name, wchar_t (&scratch)[name_capacity]) {
  scratch[0] = 0;
  for (const char* p = name; *p != 0; ++p) append_narrow_char_bounded(scratch, *p, name_capacity);
}

// An environment block built by a parent may hold a name twice in different letter
// case, and each deletion removes one copy: none may survive to be read in place of
// the value set here, by this launcher or by its child.
void remove_every_copy(const wchar_t* name) {
  while (GetEnvironmentVariableW(name, nullptr, 0) != 0 && SetEnvironmentVariableW(name, nullptr)) {
  }
}

}  // namespace

wchar_t* get_env_w(const char* name) {
  wchar_t wide_name[name_capacity];
  widen_name(name, wide_name);
  return get_env_by_wide_name(wide_name);
}

wchar_t* get_env_by_wide_name(const wchar_t* name) {
  static_assert(sizeof(wchar_t) == 2, "UTF-16 units expected");
  wchar_t value[value_capacity];
  DWORD length = GetEnvironmentVariableW(name, value, value_capacity);
  if (length == 0 || length >= value_capacity) return nullptr;
  return _wcsdup(value);
}

size_t read_env_w(const char* name, wchar_t* value, size_t capacity) {
  wchar_t wide_name[name_capacity];
  widen_name(name, wide_name);
  DWORD length = GetEnvironmentVariableW(wide_name, value, static_cast<DWORD>(capacity));
  if (length >= capacity) length = 0;
  value[length] = 0;
  return length;
}

int set_env_w(const char* name, const wchar_t* value) {
  wchar_t wide_name[name_capacity];
  widen_name(name, wide_name);
  remove_every_copy(wide_name);
  return SetEnvironmentVariableW(wide_name, value);
}

int unset_env_w(const char* name) { return set_env_w(name, nullptr); }

int set_env_int_w(const char* name, long value) {
  wchar_t text[decimal_capacity];
  decimal_text(text, value);
  return set_env_w(name, text);
}

int parse_int_w(const wchar_t* text, long* out) {
  errno = 0;
  wchar_t* end = nullptr;
  long value = wcstol(text, &end, 10);
  if (errno == ERANGE || end == text || *end != 0) return 0;
  *out = value;
  return 1;
}

void require_digits_w(const wchar_t* text) {
  if (text == nullptr || text[0] == 0) abort();
  for (const wchar_t* p = text; *p != 0; ++p) {
    if (!iswctype(*p, _DIGIT)) abort();
  }
}

void require_digits(const char* text) {
  if (text == nullptr || text[0] == 0) abort();
  for (const char* p = text; *p != 0; ++p) {
    if (*p < '0' || *p > '9') abort();
  }
}
