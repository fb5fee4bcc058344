// The progress line of a console launcher's first start, read off the console it shares
// with this program: it shows while the launcher unpacks and is gone before the program's
// output; with standard error redirected there is none. ctest runs this on a
// pseudo-terminal, since Wine gives a console only to programs on a terminal.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/launcher/progress/launcher_run.h"

namespace {

class ConsoleProgress : public ::testing::Test {
 protected:
  void SetUp() override {
    screen_ = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (screen_ == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(screen_, &info)) {
      GTEST_SKIP() << "no console: run on a terminal, as ctest does";
    }
    width_ = info.dwSize.X;
    cells_ = static_cast<DWORD>(info.dwSize.X) * info.dwSize.Y;
    DWORD written = 0;
    FillConsoleOutputCharacterW(screen_, L' ', cells_, {0, 0}, &written);
    SetConsoleCursorPosition(screen_, {0, 0});
  }
  void TearDown() override { CloseHandle(screen_); }

  std::wstring screen_text() {
    std::wstring text(cells_, L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(screen_, text.data(), cells_, {0, 0}, &read);
    text.resize(read);
    return text;
  }
  // The line while the launcher runs, if it ever showed; how long it ran.
  std::wstring watch_line(const LauncherRun& run, DWORD* took_ms) {
    std::wstring line;
    DWORD start = GetTickCount();
    while (run.running()) {
      std::wstring text = screen_text();
      size_t at = text.find(L"Unpacking ");
      if (at != std::wstring::npos) line = text.substr(at, text.find(L"  ", at) - at);
      Sleep(20);
    }
    *took_ms = GetTickCount() - start;
    return line;
  }

  // Once the launcher ended: no progress text left, and what came after it (the program's
  // output, a launcher's message) starts a line.
  void expect_line_erased_before(const wchar_t* next, const char* what) {
    std::wstring after = screen_text();
    EXPECT_EQ(after.find(L"Unpacking"), std::wstring::npos);
    size_t at = after.find(next);
    ASSERT_NE(at, std::wstring::npos);
    EXPECT_EQ(at % width_, 0u) << what << " does not start a line";
  }

  HANDLE screen_ = INVALID_HANDLE_VALUE;
  size_t width_ = 0;
  DWORD cells_ = 0;
};

TEST_F(ConsoleProgress, LineShowsWhileUnpackingAndIsGoneBeforeTheProgramWrites) {
  LauncherRun run(L"console-shown", false);
  DWORD took_ms = 0;
  std::wstring line = watch_line(run, &took_ms);
  EXPECT_EQ(line.rfind(L"Unpacking Progress check: ", 0), 0u) << narrow_utf8(line);
  EXPECT_NE(line.find(L" % ("), std::wstring::npos) << narrow_utf8(line);
  EXPECT_NE(line.find(L" MB of "), std::wstring::npos) << narrow_utf8(line);
  EXPECT_EQ(run.exit_status(), 0u);
  expect_line_erased_before(L"argc=1", "the program's output");
}

// Three large files first, then 20,000 small ones: the percentage weighs each file's creation
// as well as its bytes, so it moves on while the small files are written, rather than
// opening near the end and standing at 99 %.
TEST_F(ConsoleProgress, PercentMovesWithTheFilesOnAMixedPayload) {
  LauncherRun run(L"console-mixed", false);
  struct Sample {
    DWORD at;
    int percent;
  };
  std::vector<Sample> samples;
  while (run.running()) {
    std::wstring text = screen_text();
    size_t at = text.find(L"Unpacking Progress check: ");
    if (at != std::wstring::npos) {
      int percent = _wtoi(text.c_str() + at + wcslen(L"Unpacking Progress check: "));
      if (samples.empty() || samples.back().percent != percent)
        samples.push_back({GetTickCount(), percent});
    }
    Sleep(20);
  }
  EXPECT_EQ(run.exit_status(), 0u);
  ASSERT_GE(samples.size(), 2u) << "the line hardly showed";
  EXPECT_LT(samples.front().percent, 50) << "opened at " << samples.front().percent << " %";
  // Every figure but the last (100 %, or the last shown before the program started) gave
  // way to the next within a second.
  for (size_t i = 0; i + 1 < samples.size(); ++i) {
    EXPECT_LE(samples[i + 1].at - samples[i].at, 1000u)
        << samples[i].percent << " % stood for " << samples[i + 1].at - samples[i].at << " ms";
    EXPECT_LT(samples[i].percent, samples[i + 1].percent);
  }
}

TEST_F(ConsoleProgress, LaunchersMessageStartsOnACleanLine) {
  HANDLE held = hold_last_entry(L"console-failed");
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  LauncherRun run(L"console-failed", false);
  DWORD took_ms = 0;
  EXPECT_NE(watch_line(run, &took_ms), L"");
  EXPECT_EQ(run.exit_status(), 2u);
  CloseHandle(held);
  expect_line_erased_before(L"Error, failed to open '", "the message");
}

BOOL WINAPI keep_running(DWORD) { return TRUE; }

// Ctrl-C while the line shows ends the launcher before its program, the line erased first.
// Under Wine the event goes to the whole console; this program stays.
TEST_F(ConsoleProgress, CtrlCErasesTheLine) {
  SetConsoleCtrlHandler(keep_running, TRUE);
  LauncherRun run(L"console-interrupted", false);
  bool shown = false;
  for (int i = 0; i < 1500 && run.running() && !shown; ++i, Sleep(20)) {
    shown = screen_text().find(L"Unpacking ") != std::wstring::npos;
  }
  ASSERT_TRUE(shown) << "no line to interrupt";
  ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
  // The system's default handling ends it: under Wine with 0, elsewhere with 0xC000013A.
  DWORD status = run.exit_status(30000);
  EXPECT_TRUE(status == 0 || status == 0xC000013A) << status;
  SetConsoleCtrlHandler(keep_running, FALSE);
  EXPECT_FALSE(run.child_started());
  EXPECT_EQ(screen_text().find(L"Unpacking"), std::wstring::npos);
}

TEST_F(ConsoleProgress, RedirectedStandardErrorHoldsNoProgressText) {
  LauncherRun run(L"console-redirected", true);
  DWORD took_ms = 0;
  EXPECT_EQ(watch_line(run, &took_ms), L"");
  EXPECT_GT(took_ms, 2000u) << "too quick a start to tell";
  EXPECT_EQ(run.exit_status(), 0u);
  std::string output = run.output_text();
  EXPECT_NE(output.find("argc=1"), std::string::npos) << output;
  EXPECT_EQ(output.find("Unpacking"), std::string::npos) << output;
}

}  // namespace
