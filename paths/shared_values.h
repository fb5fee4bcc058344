#pragma once
// Placeholder values that stay the same for a run and for every process that inherits
// its environment: generated once, then read back from their hand-off variables.
#include <cstdint>

// Each writes its value into value (placeholder_value_capacity units).
void random_value(wchar_t* value);
void start_time_value(wchar_t* value);
void time_us_value(wchar_t* value);

constexpr int random_text_length = 11;
// Eight xorshift32 steps from seed, their low bytes as unpadded URL-safe base64.
void random_text_from_seed(uint32_t seed, wchar_t (&text)[random_text_length + 1]);
// Microseconds within the second of a count of 100-nanosecond intervals.
long microseconds_within_second(int64_t hundred_nanoseconds);
