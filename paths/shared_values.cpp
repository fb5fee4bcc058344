#include "paths/shared_values.h"

#include <windows.h>

#include <cwchar>

#include "paths/placeholder_values.h"
#include "support/bounded.h"
#include "support/decimal.h"
#include "support/environment.h"

namespace {

constexpr wchar_t url_safe_alphabet[] =
    L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

uint32_t xorshift32(uint32_t state) {
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return state;
}

uint32_t random_seed() {
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  uint64_t count = static_cast<uint64_t>(counter.QuadPart);
  uint64_t address = reinterpret_cast<uintptr_t>(&counter);
  uint32_t seed = static_cast<uint32_t>(count) ^ static_cast<uint32_t>(count >> 32) ^
                  static_cast<uint32_t>(address) ^ static_cast<uint32_t>(address >> 32) ^
                  static_cast<uint32_t>(GetCurrentProcessId());
  return seed != 0 ? seed : 1;
}

int64_t system_time() {
  FILETIME time;
  GetSystemTimeAsFileTime(&time);
  return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) |
                              time.dwLowDateTime);
}

}  // namespace

void random_text_from_seed(uint32_t seed, wchar_t (&text)[random_text_length + 1]) {
  uint64_t bits = 0;
  for (int step = 0; step < 8; ++step) {
    seed = xorshift32(seed);
    bits = (bits << 8) | (seed & 0xFF);
  }
  // 64 bits as ten groups of six, most significant first, and the last four bits
  // followed by two zero bits.
  for (int group = 0; group < 10; ++group) {
    text[group] = url_safe_alphabet[(bits >> (58 - 6 * group)) & 63];
  }
  text[10] = url_safe_alphabet[(bits << 2) & 63];
  text[random_text_length] = 0;
}

long microseconds_within_second(int64_t hundred_nanoseconds) {
  int64_t microseconds = hundred_nanoseconds / 10;
  return static_cast<long>(microseconds - microseconds / 1000000 * 1000000);
}

// Each value below is the one stored by an earlier expansion, here or in a parent
// process; only without one is a fresh value made and stored for those that follow.

void random_value(wchar_t* value) {
  if (read_env_w("KOVRAN_ONEFILE_RANDOM", value, placeholder_value_capacity) != 0) return;
  wchar_t fresh[random_text_length + 1];
  random_text_from_seed(random_seed(), fresh);
  set_env_w("KOVRAN_ONEFILE_RANDOM", fresh);
  copy_bounded(value, fresh, placeholder_value_capacity);
}

void start_time_value(wchar_t* value) {
  if (read_env_w("KOVRAN_ONEFILE_START", value, placeholder_value_capacity) != 0) return;
  wchar_t fresh[decimal_capacity];
  decimal_text(fresh, system_time());
  set_env_w("KOVRAN_ONEFILE_START", fresh);
  copy_bounded(value, fresh, placeholder_value_capacity);
}

void time_us_value(wchar_t* value) {
  if (read_env_w("KOVRAN_ONEFILE_TIME_US", value, placeholder_value_capacity) != 0) return;
  wchar_t fresh[decimal_capacity];
  decimal_text(fresh, microseconds_within_second(system_time()), 6);
  set_env_w("KOVRAN_ONEFILE_TIME_US", fresh);
  copy_bounded(value, fresh, placeholder_value_capacity);
}
