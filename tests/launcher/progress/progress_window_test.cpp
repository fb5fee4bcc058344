// The progress window of a GUI launcher's first start, found as a desktop shows it: a
// top-level window of the launcher's process. Runs in a Wine desktop of its own on a
// virtual display, and asks first_start_window.sh for screenshots.
#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <utility>

#include "tests/launcher/progress/launcher_run.h"

namespace {

constexpr wchar_t long_name[] =
    L"Progress check, a product whose name runs on for long enough that two lines of the "
    L"window cannot hold all of it";

struct Label {
  HWND control = nullptr;
  std::wstring text;
};

BOOL CALLBACK find_heading(HWND control, LPARAM context) {
  auto& label = *reinterpret_cast<Label*>(context);
  wchar_t text[1024] = L"";
  GetWindowTextW(control, text, 1024);
  if (wcsncmp(text, L"Unpacking ", 10) != 0 && wcsncmp(text, L"Starting ", 9) != 0) return TRUE;
  label = {control, text};
  return FALSE;
}

// The heading, "Unpacking NAME" or "Starting NAME", held whole by its label: all of the
// name, or its start and an ellipsis, in no more lines than the label shows.
void expect_whole_heading(HWND window, const std::wstring& doing) {
  Label label;
  EnumChildWindows(window, find_heading, reinterpret_cast<LPARAM>(&label));
  ASSERT_NE(label.control, nullptr) << narrow_utf8(text_in(window));
  std::wstring whole = doing + long_name;
  if (label.text != whole) {
    ASSERT_EQ(label.text.back(), L'\x2026') << narrow_utf8(label.text);
    EXPECT_EQ(whole.rfind(label.text.substr(0, label.text.size() - 1), 0), 0u)
        << narrow_utf8(label.text);
    EXPECT_GT(label.text.size(), doing.size() + 20) << "cut shorter than two lines need";
  }
  RECT place;
  GetClientRect(label.control, &place);
  HDC dc = GetDC(label.control);
  // The window's font, DEFAULT_GUI_FONT: its handle from the launcher's process does not
  // select under Wine.
  HGDIOBJ previous = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  RECT needed = {0, 0, place.right, 0};
  DrawTextW(dc, label.text.c_str(), -1, &needed,
            DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
  SelectObject(dc, previous);
  ReleaseDC(label.control, dc);
  EXPECT_LE(needed.bottom, place.bottom) << narrow_utf8(label.text);
}

// A screenshot of the display, as build/.../NAME.png, taken by the script that runs us.
void take_screenshot(const std::wstring& name) {
  std::wstring request = progress_folder() + L"\\" + name;
  write_file(request + L".request", "");
  for (int i = 0; i < 200 && !file_exists(request + L".done"); ++i) Sleep(50);
}

TEST(FirstStartProgress, ColdStartShowsTheProductNameUntilTheProgramRunsAndTheWarmStartNothing) {
  {
    LauncherRun run(L"shown", true);
    HWND window = wait_for_window(run, 60000);
    ASSERT_NE(window, nullptr) << "no window during the cold start";
    wchar_t title[256] = L"";
    GetWindowTextW(window, title, 256);
    EXPECT_NE(std::wstring(title).find(L"Progress check"), std::wstring::npos);
    EXPECT_NE(text_in(window).find(L"Unpacking Progress check"), std::wstring::npos);
    expect_whole_heading(window, L"Unpacking ");
    EXPECT_FALSE(run.child_started());
    take_screenshot(L"first-start-progress");
    while (run.running() && !run.child_started()) Sleep(20);
    // The program is busy for a second, then waits for input for two: the window stays
    // until it waits, all of the archive written and the program starting, and goes before
    // the program ends.
    Sleep(300);
    EXPECT_NE(window_of(run), nullptr) << "gone before the program took input";
    std::wstring text = text_in(window);
    EXPECT_NE(text.find(L"Starting Progress check"), std::wstring::npos) << narrow_utf8(text);
    EXPECT_NE(text.find(L"100 % ("), std::wstring::npos) << narrow_utf8(text);
    expect_whole_heading(window, L"Starting ");
    take_screenshot(L"first-start-starting");
    for (int i = 0; i < 50 && window_of(run) != nullptr; ++i) Sleep(50);
    EXPECT_EQ(window_of(run), nullptr);
    EXPECT_TRUE(run.running());
    EXPECT_EQ(run.exit_status(), 0u);
    EXPECT_EQ(run.output_text(), "");
  }
  LauncherRun warm(L"shown", true);
  EXPECT_EQ(wait_for_window(warm, 60000), nullptr) << "a window on the warm start";
  EXPECT_EQ(warm.exit_status(), 0u);
}

TEST(FirstStartProgress, WithoutTheOptionAColdStartShowsNoWindow) {
  LauncherRun run(L"plain", true);
  EXPECT_EQ(wait_for_window(run, 60000), nullptr);
  EXPECT_EQ(run.exit_status(), 0u);
  EXPECT_TRUE(run.child_started());
}

// Cancelled, the start runs nothing and says nothing; the next start repairs (the script
// compares the tree; payload/cancel_test.cpp, what a cancel leaves).
TEST(FirstStartProgress, ClosingTheWindowCancelsTheStartAndTheNextStartRepairs) {
  {
    LauncherRun run(L"cancelled", true);
    HWND window = wait_for_window(run, 60000);
    ASSERT_NE(window, nullptr);
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(run.exit_status(30000), 0xC000013Au);
    EXPECT_EQ(run.output_text(), "");
    EXPECT_FALSE(run.child_started());
  }
  LauncherRun next(L"cancelled", true);
  EXPECT_EQ(next.exit_status(), 0u);
  EXPECT_TRUE(next.child_started());
}

// The launcher's message, which a GUI launcher shows nowhere else, stays in the window
// until the user closes it.
TEST(FirstStartProgress, FailureWhileTheWindowIsUpIsShownThereUntilClosed) {
  HANDLE held = hold_last_entry(L"failed");
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  LauncherRun run(L"failed", true);
  HWND window = wait_for_window(run, 60000);
  ASSERT_NE(window, nullptr);
  std::wstring text;
  for (int i = 0; i < 600 && text.find(L"Error") == std::wstring::npos; ++i, Sleep(100)) {
    text = text_in(window);
  }
  EXPECT_NE(text.find(L"Error, failed to open '"), std::wstring::npos) << narrow_utf8(text);
  EXPECT_NE(text.find(last_entry() + L"' for writing."), std::wstring::npos) << narrow_utf8(text);
  take_screenshot(L"first-start-failure");
  Sleep(500);
  EXPECT_TRUE(run.running()) << "the window did not wait to be closed";
  EXPECT_EQ(run.output_text(), "");
  PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(run.exit_status(30000), 2u);
  EXPECT_NE(run.output_text().find("Error, failed to open '"), std::string::npos);
  CloseHandle(held);
}

// A GUI launcher started as a desktop starts it, with no standard handles, has nowhere else
// to say why it stops: a window titled with its product name holds the message until it is
// closed, by the window's close or its Close button, and the status follows.
TEST(FailureWindow, WithoutStreamsTheMessageStaysInAWindowUntilClosed) {
  for (bool by_button : {false, true}) {
    SCOPED_TRACE(by_button ? "Close button" : "WM_CLOSE");
    LauncherRun run(L"damaged", false, true);
    HWND window = wait_for_window(run, 60000);
    ASSERT_NE(window, nullptr) << "no window";
    wchar_t title[256] = L"";
    GetWindowTextW(window, title, 256);
    EXPECT_EQ(std::wstring(title), L"Failure check");
    EXPECT_NE(text_in(window).find(L"Error, couldn't decode attached data."), std::wstring::npos)
        << narrow_utf8(text_in(window));
    HWND button = FindWindowExW(window, nullptr, L"Button", L"Close");
    ASSERT_NE(button, nullptr);
    if (!by_button) take_screenshot(L"failure-window");
    Sleep(500);
    EXPECT_TRUE(run.running()) << "the window did not wait to be closed";
    if (by_button) {
      PostMessageW(button, BM_CLICK, 0, 0);
    } else {
      PostMessageW(window, WM_CLOSE, 0, 0);
    }
    EXPECT_EQ(run.exit_status(30000), 2u);
  }
}

TEST(FailureWindow, RedirectedStreamsGetTheMessageAndNoWindowShows) {
  LauncherRun run(L"damaged", true);
  EXPECT_EQ(wait_for_window(run, 30000), nullptr);
  EXPECT_EQ(run.exit_status(), 2u);
  EXPECT_EQ(run.output_text(), "Error, couldn't decode attached data.\r\n");
}

}  // namespace
