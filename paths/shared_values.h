#pragma once
// Placeholder values that stay the same for a run and for every process that inherits
// its environment: generated once, then read back from their hand-off variables.
#include <cstdint>

void append_random(wchar_t* end, uint64_t room);
void append_start_time(wchar_t* end, uint64_t room);
void append_time_us(wchar_t* end, uint64_t room);

constexpr int random_text_length = 11;
// Eight xorshift32 steps from seed, their low bytes as unpadded URL-safe base64.
void random_text_from_seed(uint32_t seed, wchar_t (&text)[random_text_length + 1]);
// Microseconds within the second of a count of 100-nanosecond intervals.
long microseconds_within_second(int64_t hundred_nanoseconds);
