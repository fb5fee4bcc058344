#pragma once
// How far an unpack is, in words.
#include <cstddef>
#include <cstdint>

// "45 % (41 MB of 92 MB)"; "41 MB" when the total is not known. Sizes below 10 MB get a
// tenth: "1.4 MB".
void format_progress_figures(wchar_t* text, size_t capacity, uint64_t done, uint64_t total);

// "Unpacking NAME: " and the figures, cut to at most width units.
void format_progress_line(wchar_t* text, size_t capacity, const wchar_t* name, uint64_t done,
                          uint64_t total, size_t width);
