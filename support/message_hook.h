#pragma once
// A progress display that is up (progress/) sees each of the launcher's messages before it
// is written, in the pieces it is written in: a console's progress line is erased first; a
// window shows the message until the user closes it.

// Set by the display while it is up; null otherwise.
extern void (*before_launcher_message)(const char* before, const wchar_t* text, const char* after);

// Hands a message to the display, if one is up. text and after may be null.
void announce_launcher_message(const char* before, const wchar_t* text, const char* after);
