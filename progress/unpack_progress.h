#pragma once
// What a long first start shows, when the build asks for it: once a start has been writing
// for a second, a small window of the launcher's own (a GUI launcher) or one line on
// standard error when that is a console (a console launcher), told a few times a second
// how far the unpack is through the archive. The window's close button cancels the start.
// A start that writes nothing, or is done within the second, shows nothing.
#include <windows.h>

#include <cstddef>
#include <cstdint>

enum class ProgressView : unsigned char { none, console, window };

constexpr size_t progress_name_capacity = 128;

struct UnpackProgress {
  ProgressView view;  // none: this start shows nothing
  bool shown;
  uint64_t total;        // the archive's decoded bytes; 0 when its frame does not tell
  uint64_t files_total;  // the archive's files; 0 when the launcher does not carry the count
  uint64_t next_step;    // tick count of the next update; 0 until writing began
  volatile LONG64 done;
  volatile LONG64 files_done;
  wchar_t name[progress_name_capacity];
  // Console: the units of the line on screen; once the line ended (the program starts, a
  // message follows, the launcher is ended), no more is drawn. The lock keeps a console
  // event's erasing from meeting the main thread's drawing.
  DWORD line_units;
  bool line_ended;
  SRWLOCK line_lock;
  // Window: its thread, once shown; the window, once made. The window thread sets
  // cancelled when the user closes it before the unpack ends; the main thread sets
  // dismissed once the program runs, and message when the start fails.
  HANDLE thread;
  HWND volatile window;
  volatile LONG cancelled;
  volatile LONG dismissed;
  const wchar_t* volatile message;
};
