#pragma once
// A failure in words (support/failure.h), as the streams and the failure window show it.
#include <cstddef>

#include "support/failure.h"

// Enough for a value of KOVRAN_ONEFILE_CACHE_DIR, the longest subject, and the rest.
constexpr size_t failure_text_capacity = 32768 + 1024;

// The failure's one line, without a line end, into text; what does not fit is left out.
void compose_failure(const Failure& failure, wchar_t* text, size_t capacity);
