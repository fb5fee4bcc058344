#pragma once
// A failure in words (support/failure.h), as the streams and the failure window show it.
#include <cstddef>

#include "support/failure.h"

// Enough for a value of KOVRAN_ONEFILE_CACHE_DIR, the longest subject, and the rest.
constexpr size_t failure_text_capacity = 32768 + 1024;

// The failure's one line, without a line end, into text; what does not fit is left out.
void compose_failure(const Failure& failure, wchar_t* text, size_t capacity);

// The system's description of error, its inserts ("%1") left as they are and without its
// line end, appended to text; "unknown error" when it has none.
void append_system_description(wchar_t* text, unsigned long error, size_t capacity);
