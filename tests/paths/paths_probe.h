#pragma once
// Runs paths_probe.exe (built beside the tests): scenario, argument, optional capacity.
#include <string>

#include "tests/harness/process.h"

inline ProcessResult run_paths_probe(const std::wstring& scenario, const std::wstring& argument,
                                     const std::wstring& capacity = L"",
                                     const ProcessOptions& options = {}) {
  std::wstring line = quote_argument(this_program_directory() + L"\\paths_probe.exe") + L" " +
                      quote_argument(scenario) + L" " + quote_argument(argument);
  if (!capacity.empty()) line += L" " + capacity;
  return run_process(line, options);
}

// The C runtime's status for abort().
constexpr unsigned long aborted_status = 3;
