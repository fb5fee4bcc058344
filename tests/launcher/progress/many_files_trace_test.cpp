// KOVRAN_ONEFILE_TRACE on a cold start of 20,000 files (see pack_progress.sh): short by
// default, its first line naming the start; with KOVRAN_ONEFILE_TRACE_FILES=1 every file
// written named once, however the main thread and the pool's workers share them out.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/launcher/progress/launcher_run.h"

namespace {

ProcessResult start_traced(const std::wstring& run, const std::wstring& trace, bool files) {
  ProcessOptions options;
  options.environment = {L"KOVRAN_ONEFILE_TRACE=" + trace,
                         files ? L"KOVRAN_ONEFILE_TRACE_FILES=1" : L"KOVRAN_ONEFILE_TRACE_FILES="};
  options.timeout_ms = 600000;
  return run_process(quote_argument(progress_folder(run) + L"\\launcher.exe"), options);
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

TEST(ManyFilesTrace, ShortTraceNamesTheStartFirstAndStaysShort) {
  ProcessResult result = start_traced(L"trace-short", L"1", false);
  ASSERT_EQ(result.exit_code, 0u) << result.err;
  std::vector<std::string> lines = lines_of(result.err);
  EXPECT_LE(lines.size(), 40u) << result.err;
  ASSERT_FALSE(lines.empty());
  SYSTEMTIME now;
  GetLocalTime(&now);
  char date[16];
  snprintf(date, sizeof date, "%04d-%02d-%02d", now.wYear, now.wMonth, now.wDay);
  std::string launcher = narrow_utf8(progress_folder(L"trace-short") + L"\\launcher.exe");
  std::string first = "[kovran-onefile " + std::to_string(result.process_id) + "] start " + date;
  EXPECT_EQ(lines[0].rfind(first, 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find(", " + launcher + ", product Progress check, "), std::string::npos)
      << lines[0];
  EXPECT_NE(result.err.find("] files: 0 kept, 20000 written, 0 repaired"), std::string::npos)
      << result.err;
}

TEST(ManyFilesTrace, EveryFileWrittenIsNamedOnce) {
  std::wstring trace = progress_folder(L"trace-files") + L"\\trace.txt";
  ProcessResult result = start_traced(L"trace-files", trace, true);
  ASSERT_EQ(result.exit_code, 0u) << result.err;
  std::map<std::string, int> named;
  long long counted = -1;
  std::string prefix = "[kovran-onefile " + std::to_string(result.process_id) + "] ";
  for (const std::string& line : lines_of(read_file(trace))) {
    ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
    std::string text = line.substr(prefix.size());
    if (text.rfind("written ", 0) == 0) ++named[text.substr(8)];
    if (text.rfind("files: 0 kept, ", 0) == 0) counted = atoll(text.c_str() + 15);
  }
  std::map<std::string, int> expected;
  for_each_file(progress_folder(L"console-app"), [&](const std::wstring& name, const auto&) {
    expected[narrow_utf8(name.substr(1))] = 1;
  });
  ASSERT_EQ(expected.size(), 20000u);
  EXPECT_EQ(counted, 20000);
  EXPECT_EQ(named.size(), expected.size());
  EXPECT_TRUE(named == expected) << "a file named twice, or one not named";
}

}  // namespace
