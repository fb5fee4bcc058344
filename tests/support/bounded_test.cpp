#include "support/bounded.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>

#include "tests/launcher/probe.h"

namespace {

// Aborting cases run in a process of their own; the probe's buffers hold 8 units.
void expect_abort(const wchar_t* scenario, const wchar_t* argument) {
  ProcessResult result = run_probe(scenario, argument);
  EXPECT_EQ(result.exit_code, abnormal_status) << "scenario " << narrow_utf8(scenario);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "");
}

void expect_return(const wchar_t* scenario, const wchar_t* argument) {
  ProcessResult result = run_probe(scenario, argument);
  EXPECT_EQ(result.exit_code, 0u) << "scenario " << narrow_utf8(scenario);
  EXPECT_EQ(result.out, "returned\n");
}

TEST(BoundedWide, TextOfCapacityMinusOneFitsAndOneMoreAborts) {
  wchar_t buffer[9];
  wmemset(buffer, L'#', 9);
  copy_bounded(buffer, L"abcdefg", 8);
  EXPECT_STREQ(buffer, L"abcdefg");
  EXPECT_EQ(buffer[8], L'#');  // nothing written at index capacity
  expect_abort(L"copy", L"abcdefgh");
}

TEST(BoundedWide, AppendsJoinTextsAndWidenNarrowOnes) {
  wchar_t buffer[16] = L"C:";
  append_char_bounded(buffer, L'\\', 16);
  append_bounded(buffer, L"dir", 16);
  append_narrow_bounded(buffer, "-42", 16);
  append_narrow_char_bounded(buffer, 'x', 16);
  EXPECT_STREQ(buffer, L"C:\\dir-42x");
  append_bounded(buffer, L"", 16);  // an empty source only rewrites the terminator
  EXPECT_STREQ(buffer, L"C:\\dir-42x");
  wchar_t full[4] = L"abc";
  append_bounded(full, L"", 4);
  EXPECT_STREQ(full, L"abc");
}

TEST(BoundedWide, SingleUnitAppendNeedsRoomForUnitAndTerminator) {
  expect_return(L"append-char", L"abcdef");  // capacity - 2 units held
  expect_abort(L"append-char", L"abcdefg");  // capacity - 1 units held
  expect_abort(L"append-null", L"");
}

TEST(BoundedNarrow, FollowsTheSameRuleWithAStricterPrefixCopy) {
  char buffer[8] = "ab";
  append_bounded_narrow(buffer, "cdef", 8);
  append_char_bounded_narrow(buffer, 'g', 8);
  EXPECT_STREQ(buffer, "abcdefg");
  append_char_bounded_narrow(buffer, 0, 9);  // a zero byte appends nothing
  EXPECT_STREQ(buffer, "abcdefg");
  char copy[8];
  copy_bounded_narrow(copy, "1234567", 8);
  EXPECT_STREQ(copy, "1234567");
  char prefix[8];
  memset(prefix, '#', sizeof prefix);
  copy_prefix_bounded_narrow(prefix, "ab", 5, 8);  // padded with zero bytes up to n
  EXPECT_EQ(std::string(prefix, 8), std::string("ab\0\0\0\0##", 8));
  expect_return(L"copy-prefix", L"6");
  expect_abort(L"copy-prefix", L"7");
  expect_abort(L"copy-narrow-same", L"7");  // same array, nothing to copy, still too long
}

}  // namespace
