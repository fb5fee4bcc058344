#include "payload/entry_name.h"

#include <cstddef>

namespace {

wchar_t ascii_upper(wchar_t c) { return c >= L'a' && c <= L'z' ? c - (L'a' - L'A') : c; }

bool stem_is(const wchar_t* stem, size_t length, const wchar_t* device) {
  size_t i = 0;
  for (; i < length && device[i] != 0; ++i) {
    if (ascii_upper(stem[i]) != device[i]) return false;
  }
  return i == length && device[i] == 0;
}

// COM and LPT take a digit from one to nine, or a superscript one to three.
bool is_port_digit(wchar_t c) {
  return (c >= L'1' && c <= L'9') || c == 0x00B9 || c == 0x00B2 || c == 0x00B3;
}

// Windows opens a device for its name with any extension and with spaces before it.
bool is_device(const wchar_t* component, size_t length) {
  size_t stem = 0;
  while (stem < length && component[stem] != L'.') ++stem;
  while (stem > 0 && component[stem - 1] == L' ') --stem;
  static const wchar_t* const devices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
  for (const wchar_t* device : devices) {
    if (stem_is(component, stem, device)) return true;
  }
  return stem == 4 && is_port_digit(component[3]) &&
         (stem_is(component, 3, L"COM") || stem_is(component, 3, L"LPT"));
}

// Windows drops trailing dots and spaces, so such a component means "." or "..".
bool is_dots_and_spaces(const wchar_t* component, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (component[i] != L'.' && component[i] != L' ') return false;
  }
  return true;
}

bool is_safe_component(const wchar_t* component, size_t length) {
  if (length == 0 || is_dots_and_spaces(component, length)) return false;
  for (size_t i = 0; i < length; ++i) {
    wchar_t c = component[i];
    if (c < 0x20 || c == L'/' || c == L':') return false;
  }
  return !is_device(component, length);
}

}  // namespace

bool is_safe_entry_name(const wchar_t* name) {
  const wchar_t* component = name;
  for (const wchar_t* p = name;; ++p) {
    if (*p != L'\\' && *p != 0) continue;
    if (!is_safe_component(component, static_cast<size_t>(p - component))) return false;
    if (*p == 0) return true;
    component = p + 1;
  }
}
