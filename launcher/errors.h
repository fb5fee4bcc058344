#pragma once
// How the launcher ends when its own work fails. Every message is one line.

// message and a line feed to standard output, then exit(2).
[[noreturn]] void fatal_error(const char* message);

// "message ([Error code] description)" to standard error; the caller then exits with 2.
void report_os_error(const char* message, unsigned long error_code);

// The spec message to standard error, then abort().
[[noreturn]] void fatal_spec_error(const wchar_t* spec);

// Makes abort() end the process at once with the runtime's abnormal status (3),
// without the runtime's message box or fault report: the launcher has no window,
// so a dialog would block invisibly.
void silence_abnormal_end();
