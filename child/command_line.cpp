#include <windows.h>

#include "child/run_child.h"
#include "paths/executable_path.h"
#include "support/bounded.h"
#include "support/errors.h"

wchar_t child_command_line[child_command_line_capacity];

namespace {

void append_unit(wchar_t unit) {
  append_char_bounded(child_command_line, unit, child_command_line_capacity);
}

bool is_blank(wchar_t unit) { return unit == L' ' || unit == L'\t'; }

// A file name holds no quote, so quotes around it are all it may need.
void append_module_path() {
  const wchar_t* path = module_file_name();
  bool quoted = false;
  for (const wchar_t* p = path; *p != 0; ++p) quoted = quoted || is_blank(*p);
  if (quoted) append_unit(L'"');
  append_bounded(child_command_line, path, child_command_line_capacity);
  if (quoted) append_unit(L'"');
}

// Where the first argument ends as CommandLineToArgvW delimits it: after the next quote
// when it starts with one, else at the first space or tab.
const wchar_t* after_first_argument(const wchar_t* line) {
  if (*line == L'"') {
    ++line;
    while (*line != 0 && *line++ != L'"') {
    }
    return line;
  }
  while (*line != 0 && !is_blank(*line)) ++line;
  return line;
}

}  // namespace

// The rest is passed as typed, not split and quoted again: runtimes read quotes by rules
// of their own, so only the text itself reaches each of them as it reaches the launcher.
void build_child_command_line() {
  child_command_line[0] = 0;
  append_module_path();
  const wchar_t* rest = after_first_argument(GetCommandLineW());
  if (*rest != 0 && !is_blank(*rest)) append_unit(L' ');
  append_bounded(child_command_line, rest, child_command_line_capacity);
}
