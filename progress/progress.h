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
constexpr size_t progress_message_capacity = 1024;

struct UnpackProgress {
  ProgressView view;  // none: this start shows nothing
  bool shown;
  uint64_t total;      // the archive's decoded bytes; 0 when its frame does not tell
  uint64_t next_step;  // tick count of the next update; 0 until writing began
  volatile LONG64 done;
  wchar_t name[progress_name_capacity];
  // Console: the units of the line on screen.
  DWORD line_units;
  // Window: its thread, once shown; the window, once made. The window thread sets
  // cancelled when the user closes it before the unpack ends; the main thread sets
  // dismissed once the program runs, and fills message when the launcher fails.
  HANDLE thread;
  HWND volatile window;
  volatile LONG cancelled;
  volatile LONG dismissed;
  wchar_t message[progress_message_capacity];
};

// Chooses the view for a build that asks for progress. A console launcher's is settled when
// it would first show, by whether its standard error is a console.
void want_progress(UnpackProgress& progress, bool console_launcher);

// From the unpack, once this start writes: after each entry and each window of a file,
// with the archive's bytes passed so far. Shows or updates the view when it is time; false
// once the user cancelled.
bool progress_step(UnpackProgress& progress, uint64_t done);

// Before the program starts: the console line goes, so that its output starts on a clean line.
void clear_progress_line(UnpackProgress& progress);

// Once the program runs: the window goes as soon as the program waits for input, at most
// 5 seconds after its start.
void dismiss_progress(UnpackProgress& progress, HANDLE child);
