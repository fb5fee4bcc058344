#pragma once
// Decimal numbers as text without the C runtime's formatted output, whose engine would be
// most of the stub's own code.
#include <cstddef>
#include <cstdint>

// Enough for any 64-bit value, its sign and the terminator.
constexpr size_t decimal_capacity = 24;

// value in decimal, at least min_digits digits (zeros in front); the text's length.
size_t decimal_text(char (&text)[decimal_capacity], int64_t value, int min_digits = 1);
// The same as UTF-16 units.
size_t decimal_text(wchar_t (&text)[decimal_capacity], int64_t value, int min_digits = 1);
// value in decimal appended to text (capacity units), what fits of it.
void append_decimal(wchar_t* text, int64_t value, size_t capacity);
