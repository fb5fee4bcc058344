#include "support/failure_report.h"

#include <cwchar>

#include "support/text_output.h"

HANDLE failure_stream(const Failure& failure, bool console_launcher) {
  bool output = failure.plain && !console_launcher;
  return GetStdHandle(output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

void write_failure(const Failure& failure, const wchar_t* text, bool console_launcher) {
  write_text(failure_stream(failure, console_launcher), text, wcslen(text), message_code_page(),
             true);
}
