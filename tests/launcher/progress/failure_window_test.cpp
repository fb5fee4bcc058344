// The window a GUI launcher started without standard handles shows when it cannot start
// its program: the exact message, what to do about it, and the keys a message box takes.
// Keys come from the virtual display's keyboard (xdotool, driven by first_start_window.sh),
// as a user's would.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "tests/launcher/progress/launcher_run.h"

namespace {

// The control of window's thread that has the keyboard, once it is expected (or after a
// while).
HWND focus_of(HWND window, HWND expected) {
  GUITHREADINFO thread = {};
  thread.cbSize = sizeof thread;
  for (int i = 0; i < 40; ++i, Sleep(50)) {
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread);
    if (thread.hwndFocus == expected) break;
  }
  return thread.hwndFocus;
}

// Presses key (an X key name) on the display's keyboard, through the script that runs us.
bool press(const std::wstring& key) {
  std::wstring request = progress_folder() + L"\\" + key;
  write_file(request + L".keys", narrow_utf8(key));
  for (int i = 0; i < 200; ++i, Sleep(50)) {
    if (file_exists(request + L".sent")) {
      DeleteFileW((request + L".sent").c_str());
      return true;
    }
  }
  return false;
}

// What the window shows of a damaged download: the launcher's words as they are, the
// sentence that says to get the file again, and Close with the keyboard's focus; Enter or
// Escape closes it, and the launcher ends with its failure status.
TEST(FailureWindowKeys, EnterAndEscapeCloseItAndTheMessageSaysWhatToDo) {
  for (const wchar_t* key : {L"Return", L"Escape"}) {
    SCOPED_TRACE(narrow_utf8(key));
    LauncherRun run(L"damaged", false, true);
    HWND window = wait_for_window(run, 60000);
    ASSERT_NE(window, nullptr) << "no window";
    std::wstring text = text_in(window);
    EXPECT_NE(text.find(L"Error, couldn't decode attached data.\r\n\r\nThis file is damaged or "
                        L"incomplete: download or copy it again."),
              std::wstring::npos)
        << narrow_utf8(text);
    HWND button = FindWindowExW(window, nullptr, L"Button", L"Close");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(focus_of(window, button), button) << "Close does not have the focus";
    // Left for another window and come back to, as with Alt+Tab: Close has it again.
    HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                 nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(other);
    for (int i = 0; i < 40 && GetForegroundWindow() != other; ++i) Sleep(50);
    SetForegroundWindow(window);
    for (int i = 0; i < 40 && GetForegroundWindow() != window; ++i) Sleep(50);
    DestroyWindow(other);
    EXPECT_EQ(focus_of(window, button), button) << "Close lost the focus on coming back";
    EXPECT_EQ(GetForegroundWindow(), window);
    Sleep(300);
    EXPECT_TRUE(run.running()) << "the window did not wait for the user";
    ASSERT_TRUE(press(key)) << "the key was not sent";
    EXPECT_EQ(run.exit_status(30000), 2u);
  }
}

}  // namespace
