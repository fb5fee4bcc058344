#include "support/decimal.h"

#include "support/bounded.h"

size_t decimal_text(char (&text)[decimal_capacity], int64_t value, int min_digits) {
  // Counted as unsigned, so that the most negative value has its digits too.
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  char digits[decimal_capacity];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude > 0 || count < min_digits);
  size_t length = 0;
  if (value < 0) text[length++] = '-';
  while (count > 0) text[length++] = digits[--count];
  text[length] = 0;
  return length;
}

size_t decimal_text(wchar_t (&text)[decimal_capacity], int64_t value, int min_digits) {
  char narrow[decimal_capacity];
  size_t length = decimal_text(narrow, value, min_digits);
  for (size_t i = 0; i <= length; ++i) text[i] = static_cast<wchar_t>(narrow[i]);
  return length;
}

void append_decimal(wchar_t* text, int64_t value, size_t capacity) {
  wchar_t digits[decimal_capacity];
  decimal_text(digits, value);
  append_truncated(text, digits, capacity);
}
