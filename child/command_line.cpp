#include "child/command_line.h"

#include <windows.h>

#include <cwchar>

namespace {

bool is_blank(wchar_t unit) { return unit == L' ' || unit == L'\t'; }

bool has_blank(const wchar_t* text) {
  for (; *text != 0; ++text) {
    if (is_blank(*text)) return true;
  }
  return false;
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

wchar_t* put(wchar_t* at, const wchar_t* text, size_t length) {
  wmemcpy(at, text, length);
  return at + length;
}

}  // namespace

// The rest is passed as typed, not split and quoted again: runtimes read quotes by rules
// of their own, so only the text itself reaches each of them as it reaches the launcher. A
// file name holds no quote, so quotes around it are all it may need.
Failure build_child_command_line(wchar_t* line, const wchar_t* launcher_path) {
  const wchar_t* rest = after_first_argument(GetCommandLineW());
  bool quoted = has_blank(launcher_path);
  bool space = *rest != 0 && !is_blank(*rest);
  size_t path_length = wcslen(launcher_path);
  size_t rest_length = wcslen(rest);
  size_t length = path_length + (quoted ? 2 : 0) + (space ? 1 : 0) + rest_length;
  if (length >= child_command_line_capacity) {
    return too_long_failure(FailureKind::command_line_too_long, nullptr, length,
                            child_command_line_capacity - 1);
  }
  wchar_t* at = line;
  if (quoted) *at++ = L'"';
  at = put(at, launcher_path, path_length);
  if (quoted) *at++ = L'"';
  if (space) *at++ = L' ';
  at = put(at, rest, rest_length);
  *at = 0;
  return no_failure;
}
