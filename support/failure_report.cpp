#include "support/failure_report.h"

#include <cwchar>

#include "support/text_output.h"

namespace {

bool leads_somewhere(HANDLE stream) {
  if (stream == nullptr || stream == INVALID_HANDLE_VALUE) return false;
  DWORD type = GetFileType(stream);
  return type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE ||
         (type == FILE_TYPE_CHAR && is_console(stream));
}

}  // namespace

HANDLE failure_stream(const Failure& failure, bool console_launcher) {
  bool output = failure.plain && !console_launcher;
  return GetStdHandle(output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

void write_failure(const Failure& failure, const wchar_t* text, bool console_launcher) {
  write_text(failure_stream(failure, console_launcher), text, wcslen(text), message_code_page(),
             true);
}

bool streams_lead_nowhere() {
  return !leads_somewhere(GetStdHandle(STD_OUTPUT_HANDLE)) &&
         !leads_somewhere(GetStdHandle(STD_ERROR_HANDLE));
}
