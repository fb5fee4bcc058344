#pragma once
// Starting real Windows processes from tests and capturing what they leave behind.
#include <windows.h>

#include <string>
#include <vector>

struct ProcessResult {
  DWORD exit_code = 0;
  DWORD process_id = 0;
  bool timed_out = false;
  // Everything written to standard output and error, with the C runtime's CR LF
  // line ends turned back into LF; raw_out and raw_err keep the bytes as written.
  std::string out;
  std::string err;
  std::string raw_out;
  std::string raw_err;
};

struct ProcessOptions {
  // Extra variables ("NAME=value") on top of this process's environment; names
  // listed with an empty value ("NAME=") are removed.
  std::vector<std::wstring> environment;
  // Entries added to the block as they are, after the merged ones, so that a name may
  // appear twice.
  std::vector<std::wstring> raw_environment;
  const wchar_t* application = nullptr;  // CreateProcessW's first argument
  const wchar_t* current_directory = nullptr;
  DWORD timeout_ms = 60000;
};

// Runs command_line to its end with standard output and error captured separately.
ProcessResult run_process(const std::wstring& command_line, const ProcessOptions& options = {});

// The directory that holds the running test program, without a trailing backslash.
std::wstring this_program_directory();

// Quotes one argument so that CommandLineToArgvW gives it back unchanged.
std::wstring quote_argument(const std::wstring& argument);

std::wstring widen_utf8(const std::string& text);
std::string narrow_utf8(const std::wstring& text);
