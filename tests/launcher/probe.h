#pragma once
// Runs launcher_probe.exe (built beside the tests) with a scenario and an argument.
#include <string>

#include "tests/harness/process.h"

inline ProcessResult run_probe(const std::wstring& scenario, const std::wstring& argument = L"",
                               const ProcessOptions& options = {}) {
  std::wstring line = quote_argument(this_program_directory() + L"\\launcher_probe.exe") + L" " +
                      quote_argument(scenario) + L" " + quote_argument(argument);
  return run_process(line, options);
}

// The C runtime's status for abort().
constexpr unsigned long abnormal_status = 3;
