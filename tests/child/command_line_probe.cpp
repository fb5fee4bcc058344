// Prints the child command line that the launcher would build from this process's own.
#include <windows.h>

#include <cwchar>

#include "child/command_line.h"
#include "paths/executable_path.h"
#include "support/abnormal_end.h"
#include "tests/harness/probe_report.h"

namespace {

wchar_t launcher_path[executable_path_capacity];
wchar_t line[child_command_line_capacity];

}  // namespace

int wmain() {
  silence_abnormal_end();
  Failure failure = read_launcher_path(launcher_path);
  if (!failed(failure)) failure = build_child_command_line(line, launcher_path);
  if (failed(failure)) return report_failure(failure);
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD written = 0;
  // Raw UTF-16, so that the test sees every unit exactly as built.
  WriteFile(out, line, static_cast<DWORD>(wcslen(line) * 2), &written, nullptr);
  return 0;
}
