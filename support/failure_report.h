#pragma once
// Where a failure's words go on the standard streams.
#include <windows.h>

#include "support/failure.h"

// The stream a failure is written to: standard error, but a GUI launcher's plain messages
// to standard output, where they have always gone. A console launcher's standard output may
// be the user's data (`tool -so > out.bin`).
HANDLE failure_stream(const Failure& failure, bool console_launcher);

// Whether neither standard output nor standard error leads anywhere: no handle, or one that
// is not a file, a pipe or a console (a GUI program started from a desktop).
bool streams_lead_nowhere();

// text, the failure in words (support/failure_text.h), and a line end to the failure's
// stream.
void write_failure(const Failure& failure, const wchar_t* text, bool console_launcher);
