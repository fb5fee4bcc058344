#pragma once
// Bounded text operations. Every capacity counts the terminator: a text of
// capacity - 1 units fits, one unit more ends the process through abort().
// Nothing is ever written at or past index capacity.
#include <cstddef>

void copy_bounded(wchar_t* destination, const wchar_t* source, size_t capacity);
void append_bounded(wchar_t* destination, const wchar_t* source, size_t capacity);
void append_char_bounded(wchar_t* destination, wchar_t unit, size_t capacity);
void append_narrow_bounded(wchar_t* destination, const char* source, size_t capacity);
void append_narrow_char_bounded(wchar_t* destination, char byte, size_t capacity);

void copy_bounded_narrow(char* destination, const char* source, size_t capacity);
void copy_prefix_bounded_narrow(char* destination, const char* source, size_t n, size_t capacity);
void append_bounded_narrow(char* destination, const char* source, size_t capacity);
void append_char_bounded_narrow(char* destination, char byte, size_t capacity);

// For text shown to people, where a cut is better than no text: appends what fits and
// leaves the rest out.
void append_truncated(wchar_t* destination, const wchar_t* source, size_t capacity);
// The same for ASCII text, one unit per byte.
void append_ascii_truncated(wchar_t* destination, const char* source, size_t capacity);
void append_truncated_narrow(char* destination, const char* source, size_t capacity);

// One narrow byte as one UTF-16 unit through the C runtime; aborts unless the byte
// converts to exactly one unit on its own.
wchar_t widen_byte(char byte);
