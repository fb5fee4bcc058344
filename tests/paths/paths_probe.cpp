// A GUI-subsystem program like the launcher that expands a spec the way the launcher
// does, so that tests can watch a real process abort or share hand-off values.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "paths/executable_path.h"
#include "paths/spec_expansion.h"
#include "support/errors.h"
#include "support/launch_state.h"

namespace {

// Prints "true|text" or "false|text".
int expand(const wchar_t* spec, const wchar_t* capacity_text) {
  uint64_t capacity = *capacity_text != 0 ? wcstoul(capacity_text, nullptr, 10) : 4096;
  if (capacity > target_directory_capacity) return 101;
  bool expanded = expand_target_spec(target_directory, spec, capacity);
  printf("%s|%ls\n", expanded ? "true" : "false", target_directory);
  return 0;
}

// The launcher's own steps: expand, make absolute, then report a failure.
int expand_as_launcher(const wchar_t* spec) {
  bool expanded = expand_target_spec(target_directory, spec, target_directory_capacity);
  normalize_target_directory();
  if (!expanded) fatal_spec_error(spec);
  printf("%ls\n", target_directory);
  return 0;
}

int normalize(const wchar_t* text) {
  wcscpy(target_directory, text);
  normalize_target_directory();
  printf("%ls\n", target_directory);
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  silence_abnormal_end();
  if (__argc < 3) return 100;
  const wchar_t* scenario = __wargv[1];
  const wchar_t* argument = __wargv[2];
  if (wcscmp(scenario, L"expand") == 0) return expand(argument, __argc > 3 ? __wargv[3] : L"");
  if (wcscmp(scenario, L"launcher-expand") == 0) return expand_as_launcher(argument);
  if (wcscmp(scenario, L"normalize") == 0) return normalize(argument);
  return 100;
}
