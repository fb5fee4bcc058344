#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/harness/process.h"

namespace {

std::wstring probe_path() { return this_program_directory() + L"\\command_line_probe.exe"; }

// Runs the probe with the given raw command line tail and returns the line it built.
std::wstring built_line(const std::wstring& tail) {
  ProcessOptions options;
  options.application = nullptr;
  ProcessResult result = run_process(quote_argument(probe_path()) + L" " + tail, options);
  EXPECT_EQ(result.exit_code, 0u);
  return std::wstring(reinterpret_cast<const wchar_t*>(result.raw_out.data()),
                      result.raw_out.size() / 2);
}

std::vector<std::wstring> split(const std::wstring& line) {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(line.c_str(), &count);
  std::vector<std::wstring> result(arguments, arguments + count);
  LocalFree(arguments);
  return result;
}

TEST(ChildCommandLine, FirstArgumentIsTheModulePathWhateverTheInvokedName) {
  std::wstring line = built_line(L"plain");
  EXPECT_EQ(line, quote_argument(probe_path()) + L" plain");
}

TEST(ChildCommandLine, QuotesAndEscapesExactlyAsTheTableSays) {
  struct Case {
    std::wstring argument, written;
  } cases[] = {
      {L"a\\b\\", L"a\\b\\"},                // nothing to quote: backslashes stay single
      {L"a b\\c", L"\"a b\\c\""},            // inner backslash copied once
      {L"a b\\", L"\"a b\\\\\""},            // a trailing backslash doubles
      {L"x\"y", L"\"x\\\"y\""},              // a quote gets one backslash
      {L"x\\\\\"y", L"\"x\\\\\\\\\\\"y\""},  // two backslashes before a quote: five
      {L"tab\tv", L"\"tab\tv\""},
      {L"", L"\"\""},  // an empty argument stays one
  };
  for (const auto& c : cases) {
    std::wstring line = built_line(quote_argument(c.argument));
    EXPECT_EQ(line, quote_argument(probe_path()) + L" " + c.written) << narrow_utf8(c.argument);
  }
}

// Whatever the launcher was started with after its first argument reaches the child unit
// for unit, and splits there into the same arguments as it did for the launcher.
TEST(ChildCommandLine, PassesTheRestOfItsOwnLineAsTyped) {
  std::wstring probe = probe_path();
  struct Case {
    std::wstring line, rest;
  } cases[] = {
      {L"\"" + probe + L"\" \"a\"\"b c\"  d   \"\" x\\ \"e f\\\\\" ",
       L" \"a\"\"b c\"  d   \"\" x\\ \"e f\\\\\" "},
      {L"\"l.exe\"x y", L" x y"},  // the quote ends the first argument
      {L"l.exe\tz  ", L"\tz  "},
      {L"l.exe a\"\"b", L" a\"\"b"},
      {L"\"l x.exe\" a", L" a"},
      {L"\"\" a", L" a"},
      {L"l.exe\"x y\" z", L" y\" z"},  // unquoted, it ends at the first blank
      {L"l.exe", L""},
      {L"l.exe ", L" "},
      {L"\"l.exe", L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(narrow_utf8(c.line));
    ProcessOptions options;
    options.application = probe.c_str();
    ProcessResult result = run_process(c.line, options);
    ASSERT_EQ(result.exit_code, 0u);
    std::wstring built(reinterpret_cast<const wchar_t*>(result.raw_out.data()),
                       result.raw_out.size() / 2);
    EXPECT_EQ(built, quote_argument(probe) + c.rest);
    std::vector<std::wstring> launcher_arguments = split(c.line), child_arguments = split(built);
    launcher_arguments[0] = probe;
    EXPECT_EQ(child_arguments, launcher_arguments);
  }
}

TEST(ChildCommandLine, RoundTripsEveryArgumentEmptyOnesIncluded) {
  std::vector<std::wstring> arguments = {L"",
                                         L"simple",
                                         L"with space",
                                         L"tab\there",
                                         L"quote\"inside",
                                         L"back\\\\\"mix",
                                         L"trailing\\",
                                         L"trail space\\\\",
                                         L"",
                                         L"",
                                         L"\x00e4\x00f6\x00fc \x4e2d\x6587",
                                         L"line\nfeed",
                                         L"vt\vx",
                                         L"\\\\server\\share",
                                         L""};
  std::wstring tail;
  for (const auto& argument : arguments) tail += quote_argument(argument) + L" ";
  std::vector<std::wstring> got = split(built_line(tail));
  std::vector<std::wstring> expected = {probe_path()};
  expected.insert(expected.end(), arguments.begin(), arguments.end());
  EXPECT_EQ(got, expected);
}

}  // namespace
