// A GUI-subsystem program like the launcher that expands a spec the way the launcher
// does, so that tests can watch a real process end or share hand-off values.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "paths/full_path.h"
#include "paths/spec_expansion.h"
#include "paths/target_directory.h"
#include "support/abnormal_end.h"
#include "support/launch_state.h"
#include "tests/harness/probe_report.h"

namespace {

LaunchState state;

// Prints "true|text" or "false|text", and "too long N" after a text too long.
int expand(const wchar_t* spec, const wchar_t* capacity_text) {
  uint64_t capacity = *capacity_text != 0 ? wcstoul(capacity_text, nullptr, 10) : 4096;
  if (capacity > target_directory_capacity) return 101;
  ExpansionReport report;
  bool expanded = expand_target_spec(state.target_directory, spec, capacity, &report);
  printf("%s|%ls\n", expanded ? "true" : "false", state.target_directory);
  if (report.too_long) printf("too long %llu\n", static_cast<unsigned long long>(report.length));
  return 0;
}

// The launcher's own steps: expand, report a failure, make absolute.
int expand_as_launcher(const wchar_t* spec) {
  state.target_template = spec;
  Failure failure = resolve_target_directory(state);
  if (failed(failure)) return report_failure(failure);
  printf("%ls\n", state.target_directory);
  return 0;
}

int normalize(const wchar_t* text) {
  wcscpy(state.target_directory, text);
  Failure failure = make_target_absolute(state.target_directory);
  if (failed(failure)) return report_failure(failure);
  printf("%ls\n", state.target_directory);
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
