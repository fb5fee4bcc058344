#include "support/decimal.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

TEST(DecimalText, WritesEveryValueWithItsSignAndLeadingZeros) {
  struct Case {
    int64_t value;
    int min_digits;
    const char* text;
  };
  const Case cases[] = {
      {0, 1, "0"},
      {7, 1, "7"},
      {-1, 1, "-1"},
      {4294967295LL, 1, "4294967295"},
      {-2147024894, 1, "-2147024894"},  // an HRESULT-like code as a signed 32-bit value
      {42, 6, "000042"},
      {999999, 6, "999999"},
      {INT64_MAX, 1, "9223372036854775807"},
      {INT64_MIN, 1, "-9223372036854775808"},
  };
  for (const Case& c : cases) {
    char narrow[decimal_capacity];
    wchar_t wide[decimal_capacity];
    EXPECT_EQ(decimal_text(narrow, c.value, c.min_digits), std::string(c.text).size());
    EXPECT_STREQ(narrow, c.text);
    decimal_text(wide, c.value, c.min_digits);
    EXPECT_EQ(std::wstring(wide), std::wstring(c.text, c.text + std::string(c.text).size()));
  }
}

}  // namespace
