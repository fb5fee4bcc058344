#pragma once
// Environment variables named by narrow ASCII constants, and strict number texts.
#include <cstddef>

// New heap copy (owned by the caller) of the value, or null when the variable is
// absent, empty or longer than 32767 units.
wchar_t* get_env_w(const char* name);
wchar_t* get_env_by_wide_name(const wchar_t* name);
// The value into value (capacity units): its length, or 0 when the variable is absent, empty
// or does not fit.
size_t read_env_w(const char* name, wchar_t* value, size_t capacity);

// The system's success flag; a null value deletes the variable.
int set_env_w(const char* name, const wchar_t* value);
int unset_env_w(const char* name);
int set_env_int_w(const char* name, long value);

// 1 and *out set for a whole decimal number in range, otherwise 0 and *out untouched.
int parse_int_w(const wchar_t* text, long* out);

// Return only for a non-empty text of decimal digits; abort otherwise.
void require_digits_w(const wchar_t* text);
void require_digits(const char* text);
