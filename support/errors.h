#pragma once
// How the launcher ends when its own work fails. Every message is one line.

// What the launcher says of an archive that is not what its writer made.
constexpr char decode_failed_message[] = "Error, couldn't decode attached data.";

// message and a line feed to standard error in a console program, to standard output in a
// GUI program; then exit(2).
[[noreturn]] void fatal_error(const char* message);

// "message ([Error code] description)" to standard error; the caller then exits with 2.
void report_os_error(const char* message, unsigned long error_code);

// before, text and after to standard error, text whole: as is on a console, elsewhere in
// the output code page with '?' for what it cannot hold.
void write_error_with_text(const char* before, const wchar_t* text, const char* after);

// report_os_error, then exit(2).
[[noreturn]] void fatal_os_error(const char* message, unsigned long error_code);

// The open-for-writing message with the path to standard error, then exit(2).
[[noreturn]] void fatal_open_error(const wchar_t* path);

// The spec message to standard error, then abort().
[[noreturn]] void fatal_spec_error(const wchar_t* spec);

// Makes abort() end the process at once with the runtime's abnormal status (3),
// without the runtime's message box or fault report: the launcher has no window,
// so a dialog would block invisibly.
void silence_abnormal_end();
