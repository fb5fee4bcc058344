#include <gtest/gtest.h>

#include <string>

#include "progress/progress_text.h"

namespace {

constexpr uint64_t mib = 1024 * 1024;

TEST(ProgressText, LineSaysHowFarInPercentAndMegabytesWithinTheWidth) {
  struct Case {
    uint64_t done, total;
    size_t width;
    const wchar_t* line;
  };
  const Case cases[] = {
      {45 * mib, 100 * mib, 80, L"Unpacking App: 45 % (45 MB of 100 MB)"},
      {45 * mib - 1, 100 * mib, 80, L"Unpacking App: 44 % (44 MB of 100 MB)"},  // never ahead
      {mib * 15 / 10, 2 * mib, 80, L"Unpacking App: 75 % (1.5 MB of 2.0 MB)"},
      {0, 0, 80, L"Unpacking App: 0.0 MB"},  // a frame that tells no size
      {3 * mib, 2 * mib, 80, L"Unpacking App: 100 % (2.0 MB of 2.0 MB)"},  // one that lies
      {5000 * mib * 1024, 6000 * mib * 1024, 80, L"Unpacking App: 83 % (5120000 MB of 6144000 MB)"},
      {mib, 2 * mib, 19, L"Unpacking App: 50 %"},  // a narrow console
  };
  for (const Case& c : cases) {
    wchar_t line[128];
    format_progress_line(line, 128, L"App", c.done, c.total, c.width);
    EXPECT_EQ(std::wstring(line), c.line);
  }
}

}  // namespace
