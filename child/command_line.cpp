#include <windows.h>

#include <shellapi.h>

#include <cstdlib>

#include "child/run_child.h"
#include "paths/executable_path.h"
#include "support/bounded.h"
#include "support/errors.h"

wchar_t child_command_line[child_command_line_capacity];

namespace {

void append_unit(wchar_t unit) {
  append_char_bounded(child_command_line, unit, child_command_line_capacity);
}

void append_backslashes(size_t count) {
  for (size_t i = 0; i < count; ++i) append_unit(L'\\');
}

// An empty argument needs its quotes to be an argument at all.
bool needs_quotes(const wchar_t* argument) {
  if (*argument == 0) return true;
  for (const wchar_t* p = argument; *p != 0; ++p) {
    if (*p == L' ' || *p == L'\t' || *p == L'\n' || *p == L'\v' || *p == L'"') return true;
  }
  return false;
}

// Quotes so that CommandLineToArgvW gives the argument back: backslashes double only
// where a quote follows them, the argument's own or the closing one.
void append_quoted(const wchar_t* argument) {
  append_unit(L'"');
  size_t backslashes = 0;
  for (const wchar_t* p = argument; *p != 0; ++p) {
    if (*p == L'\\') {
      ++backslashes;
      continue;
    }
    append_backslashes(*p == L'"' ? backslashes * 2 + 1 : backslashes);
    backslashes = 0;
    append_unit(*p);
  }
  append_backslashes(backslashes * 2);
  append_unit(L'"');
}

}  // namespace

void build_child_command_line() {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr) {
    report_os_error("Error, couldn't launch child", GetLastError());
    exit(2);
  }
  child_command_line[0] = 0;
  if (count > 0) arguments[0] = const_cast<wchar_t*>(module_file_name());
  for (int i = 0; i < count; ++i) {
    if (i > 0) append_unit(L' ');
    if (needs_quotes(arguments[i])) {
      append_quoted(arguments[i]);
    } else {
      append_bounded(child_command_line, arguments[i], child_command_line_capacity);
    }
  }
  LocalFree(arguments);
}
