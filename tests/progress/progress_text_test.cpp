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
    format_progress_line(line, 128, L"App", c.done, c.total,
                         work_done_permille(c.done, c.total, 0, 0), c.width);
    EXPECT_EQ(std::wstring(line), c.line);
  }
}

// Files weigh as their creation costs: three large files first and 20,000 small ones after
// move the share as much as they take time, and only the end is the whole.
TEST(ProgressText, ShareWeighsFilesAsWellAsBytes) {
  constexpr uint64_t small = 100;
  constexpr uint64_t files = 20003;
  constexpr uint64_t total = 36 * mib + 20000 * small;
  struct Case {
    const char* name;
    uint64_t done, files_done, files_total;
    uint32_t at_least, at_most;
  };
  const Case cases[] = {
      {"large files written", 36 * mib, 3, files, 0, 50},
      {"half the small ones", 36 * mib + 10000 * small, 10003, files, 480, 520},
      {"all bytes read, last files", total, files - 4, files, 990, 999},
      {"every file", total, files, files, 1000, 1000},
      {"files not counted", 36 * mib, 3, 0, 940, 950},  // bytes alone, as before
      {"files past the count", total / 2, files * 2, files, 0, 999},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    uint32_t permille = work_done_permille(c.done, total, c.files_done, c.files_total);
    EXPECT_GE(permille, c.at_least);
    EXPECT_LE(permille, c.at_most);
  }
  wchar_t figures[64];
  format_progress_figures(figures, 64, 36 * mib, total,
                          work_done_permille(36 * mib, total, 3, files));
  EXPECT_EQ(std::wstring(figures), L"2 % (36 MB of 37 MB)");
}

}  // namespace
