#include "support/bounded.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {

size_t wide_length(const wchar_t* text) {
  size_t length = 0;
  while (text[length] != 0) ++length;
  return length;
}

// Appends length units at offset; aborts unless they and the terminator fit.
void put_wide(wchar_t* destination, size_t offset, const wchar_t* source, size_t length,
              size_t capacity) {
  if (offset >= capacity || length >= capacity - offset) abort();
  for (size_t i = 0; i < length; ++i) destination[offset + i] = source[i];
  destination[offset + length] = 0;
}

void put_narrow(char* destination, size_t offset, const char* source, size_t length,
                size_t capacity) {
  if (offset >= capacity || length >= capacity - offset) abort();
  memmove(destination + offset, source, length);
  destination[offset + length] = 0;
}

}  // namespace

wchar_t widen_byte(char byte) {
  const char text[2] = {byte, 0};
  wchar_t wide[2] = {0, 0};
  if (mbstowcs(wide, text, 2) != 1) abort();
  return wide[0];
}

void copy_bounded(wchar_t* destination, const wchar_t* source, size_t capacity) {
  put_wide(destination, 0, source, wide_length(source), capacity);
}

void append_bounded(wchar_t* destination, const wchar_t* source, size_t capacity) {
  if (source == nullptr) abort();
  put_wide(destination, wide_length(destination), source, wide_length(source), capacity);
}

void append_char_bounded(wchar_t* destination, wchar_t unit, size_t capacity) {
  put_wide(destination, wide_length(destination), &unit, 1, capacity);
}

void append_narrow_char_bounded(wchar_t* destination, char byte, size_t capacity) {
  append_char_bounded(destination, widen_byte(byte), capacity);
}

void append_narrow_bounded(wchar_t* destination, const char* source, size_t capacity) {
  size_t offset = wide_length(destination);
  size_t length = strlen(source);
  if (offset >= capacity || length >= capacity - offset) abort();
  for (size_t i = 0; i < length; ++i) destination[offset + i] = widen_byte(source[i]);
  destination[offset + length] = 0;
}

void copy_bounded_narrow(char* destination, const char* source, size_t capacity) {
  size_t length = strlen(source);
  if (length >= capacity) abort();
  if (destination != source) put_narrow(destination, 0, source, length, capacity);
}

void copy_prefix_bounded_narrow(char* destination, const char* source, size_t n, size_t capacity) {
  // One byte stricter than the rest of the family, kept so for its callers.
  if (capacity == 0 || n >= capacity - 1) abort();
  strncpy(destination, source, n);
  destination[n] = 0;
}

void append_bounded_narrow(char* destination, const char* source, size_t capacity) {
  put_narrow(destination, strlen(destination), source, strlen(source), capacity);
}

void append_char_bounded_narrow(char* destination, char byte, size_t capacity) {
  size_t offset = strlen(destination);
  if (offset >= capacity || 1 >= capacity - offset) abort();
  if (byte == 0) return;
  destination[offset] = byte;
  destination[offset + 1] = 0;
}

void append_truncated(wchar_t* destination, const wchar_t* source, size_t capacity) {
  size_t length = wide_length(destination);
  while (*source != 0 && length + 1 < capacity) destination[length++] = *source++;
  destination[length] = 0;
}

void append_ascii_truncated(wchar_t* destination, const char* source, size_t capacity) {
  size_t length = wide_length(destination);
  while (*source != 0 && length + 1 < capacity) {
    destination[length++] = static_cast<unsigned char>(*source++);
  }
  destination[length] = 0;
}

void append_truncated_narrow(char* destination, const char* source, size_t capacity) {
  size_t length = strlen(destination);
  while (*source != 0 && length + 1 < capacity) destination[length++] = *source++;
  destination[length] = 0;
}
