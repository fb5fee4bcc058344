#include "paths/shared_values.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cwctype>
#include <string>

#include "tests/paths/expansion_helpers.h"
#include "tests/paths/paths_probe.h"

namespace {

constexpr wchar_t alphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

void forget_shared_values() {
  set_variable(L"KOVRAN_ONEFILE_RANDOM", nullptr);
  set_variable(L"KOVRAN_ONEFILE_START", nullptr);
  set_variable(L"KOVRAN_ONEFILE_TIME_US", nullptr);
}

std::wstring variable(const wchar_t* name) {
  wchar_t value[256] = L"";
  GetEnvironmentVariableW(name, value, 256);
  return value;
}

bool all_digits(const std::wstring& text) {
  if (text.empty()) return false;
  for (wchar_t c : text) {
    if (!iswdigit(c)) return false;
  }
  return true;
}

long long system_time_now() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return static_cast<long long>((static_cast<unsigned long long>(now.dwHighDateTime) << 32) |
                                now.dwLowDateTime);
}

TEST(RandomText, IsTheUrlSafeBase64OfEightXorshiftSteps) {
  wchar_t text[random_text_length + 1];
  random_text_from_seed(1, text);
  EXPECT_STREQ(text, L"IQHFT9HQGrI");
  random_text_from_seed(0xDEADBEEF, text);
  EXPECT_STREQ(text, L"t0JYO0gbXLM");
  random_text_from_seed(0xFFFFFFFF, text);
  EXPECT_STREQ(text, L"H_9D2pHssPs");
}

TEST(TimeUs, IsTheMicrosecondWithinTheSecond) {
  EXPECT_EQ(microseconds_within_second(133000000001234567LL), 123456);
  EXPECT_EQ(microseconds_within_second(50), 5);
  EXPECT_EQ(microseconds_within_second(9999999), 999999);
  EXPECT_EQ(microseconds_within_second(10000000), 0);
}

TEST(SharedValues, AreMadeOnceAndStoredForLaterExpansions) {
  forget_shared_values();
  long long before = system_time_now();
  Expansion first = expand(L"{RANDOM}-{RANDOM}|{TIME}|{TIME_US}");
  ASSERT_TRUE(first.ok);
  std::wstring random = first.text.substr(0, 11);
  EXPECT_EQ(first.text.substr(11, 13), L"-" + random + L"|");
  EXPECT_EQ(random.find_first_not_of(alphabet), std::wstring::npos) << random;
  // The last character carries four bits and two zero bits.
  EXPECT_EQ((wcschr(alphabet, random[10]) - alphabet) % 4, 0);

  std::wstring times = first.text.substr(24);
  std::wstring time = times.substr(0, times.find(L'|'));
  std::wstring time_us = times.substr(times.find(L'|') + 1);
  ASSERT_TRUE(all_digits(time)) << time;
  long long start = std::stoll(time);
  EXPECT_GE(start, before);
  EXPECT_LE(start, system_time_now());
  EXPECT_EQ(time_us.size(), 6u);
  EXPECT_TRUE(all_digits(time_us)) << time_us;

  EXPECT_EQ(variable(L"KOVRAN_ONEFILE_RANDOM"), random);
  EXPECT_EQ(variable(L"KOVRAN_ONEFILE_START"), time);
  EXPECT_EQ(variable(L"KOVRAN_ONEFILE_TIME_US"), time_us);
  EXPECT_EQ(expand(L"{RANDOM}-{RANDOM}|{TIME}|{TIME_US}").text, first.text);
}

TEST(SharedValues, StoredValuesAreUsedAsTheyAre) {
  set_variable(L"KOVRAN_ONEFILE_RANDOM", L"any text");
  set_variable(L"KOVRAN_ONEFILE_START", L"x1");
  set_variable(L"KOVRAN_ONEFILE_TIME_US", L"12");
  EXPECT_EQ(expand(L"{random}|{time}|{time_us}").text, L"any text|x1|12");
  forget_shared_values();
}

TEST(SharedValues, ProcessesThatInheritTheEnvironmentGetTheSameValues) {
  forget_shared_values();
  std::wstring pid = std::to_wstring(GetCurrentProcessId());
  set_variable(L"KOVRAN_ONEFILE_PARENT", pid.c_str());
  const std::wstring spec = L"{PID}|{RANDOM}|{TIME}|{TIME_US}";
  Expansion parent = expand(spec);
  ASSERT_TRUE(parent.ok);
  ProcessResult child = run_paths_probe(L"expand", spec);
  set_variable(L"KOVRAN_ONEFILE_PARENT", nullptr);
  ASSERT_EQ(child.exit_code, 0u) << child.err;
  EXPECT_EQ(widen_utf8(child.out), L"true|" + parent.text + L"\n");
  EXPECT_EQ(parent.text.substr(0, pid.size() + 1), pid + L"|");
  forget_shared_values();
}

}  // namespace
