#pragma once
// Lines of text written where the launcher's words go: a console gets them as they are,
// anything else in a code page, with '?' for what it cannot hold.
#include <windows.h>

#include <cstddef>

// The console's output code page, else the system's: what a reader of the launcher's
// messages expects.
UINT message_code_page();

// text (length units) and, when line_end, CR LF, whole, to out; nothing when out is none.
// Off a console the text is converted to code_page in pieces that never part a surrogate
// pair.
void write_text(HANDLE out, const wchar_t* text, size_t length, UINT code_page, bool line_end);

// Whether out is a console, which takes UTF-16 as it is.
bool is_console(HANDLE out);
