// KOVRAN_ONEFILE_TRACE on packed launchers (made by pack_end_to_end.sh): the steps of a cold,
// a warm, a repairing and a failing start, on standard error or in a file, and nothing
// without the variable.
#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/harness/process.h"
#include "tests/harness/temp_dir.h"

namespace {

std::wstring e2e(const std::wstring& name) { return this_program_directory() + L"\\e2e\\" + name; }

ProcessResult start(const std::wstring& launcher, const std::wstring& trace,
                    const std::wstring& tail = L"", bool files = false) {
  ProcessOptions options;
  options.environment = {L"KOVRAN_ONEFILE_TRACE=" + trace,
                         files ? L"KOVRAN_ONEFILE_TRACE_FILES=1" : L"KOVRAN_ONEFILE_TRACE_FILES="};
  return run_process(quote_argument(launcher) + tail, options);
}

// The trace's lines, each checked for the launcher's prefix.
std::vector<std::string> trace_lines(const std::string& text, DWORD process_id) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  std::string prefix = "[kovran-onefile " + std::to_string(process_id) + "] ";
  for (std::string line; std::getline(stream, line);) {
    EXPECT_EQ(line.rfind(prefix, 0), 0u) << line;
    lines.push_back(line.substr(prefix.size()));
  }
  return lines;
}

// Whether one of the lines starts with each of the expected texts, in order.
::testing::AssertionResult tells(const std::vector<std::string>& lines,
                                 const std::vector<std::string>& expected) {
  size_t at = 0;
  for (const std::string& text : expected) {
    while (at < lines.size() && lines[at].rfind(text, 0) != 0) ++at;
    if (at == lines.size()) return ::testing::AssertionFailure() << "no line \"" << text << "\"";
    ++at;
  }
  return ::testing::AssertionSuccess();
}

bool has_line_starting(const std::vector<std::string>& lines, const std::string& text) {
  for (const std::string& line : lines) {
    if (line.rfind(text, 0) == 0) return true;
  }
  return false;
}

TEST(Trace, ColdWarmAndRepairingStartsTellTheirSteps) {
  std::wstring target = e2e(L"stamp-target");
  remove_tree(target);
  std::string launcher = narrow_utf8(e2e(L"stamp.exe"));
  std::string program = narrow_utf8(target + L"\\main.exe");
  struct Case {
    const char* name;
    bool files;  // KOVRAN_ONEFILE_TRACE_FILES=1
    std::vector<std::string> steps;
    const char* absent;
  };
  const Case cases[] = {
      {"cold",
       true,
       {"start ", "record layout 2, reuse stamp, prune never, console",
        "target " + narrow_utf8(target) + " from {PROGRAM_DIR}\\stamp-target",
        "phase preparation: ", "index used", "lock after ", "written main.exe",
        "written data\\nested\\file.txt", "files: 0 kept, 2 written, 0 repaired",
        "phase unpack: ", "program " + program, "command line " + launcher + " x",
        "phase program start: ", "program status 0", "phase program run: "},
       "repaired "},
      {"warm",
       false,
       {"index used", "listing: every file current by stamp",
        "files: 2 kept, 0 written, 0 repaired", "program " + program},
       "kept "},
      {"warm, naming files",
       true,
       {"listing: every file current by stamp", "kept main.exe", "kept data\\nested\\file.txt",
        "files: 2 kept, 0 written, 0 repaired"},
       "written "},
      {"repairing",
       false,
       {"listing: 1 of 2 current by stamp", "repaired data\\nested\\file.txt",
        "files: 1 kept, 0 written, 1 repaired"},
       "written "},
  };
  for (const Case& check : cases) {
    SCOPED_TRACE(check.name);
    if (std::string(check.name) == "repairing")
      write_file(target + L"\\data\\nested\\file.txt", "x");
    ProcessResult result = start(e2e(L"stamp.exe"), L"1", L" x", check.files);
    ASSERT_EQ(result.exit_code, 0u) << result.err;
    std::vector<std::string> lines = trace_lines(result.err, result.process_id);
    EXPECT_TRUE(tells(lines, check.steps)) << result.err;
    EXPECT_FALSE(has_line_starting(lines, check.absent)) << result.err;
    // The program's own output is its own.
    EXPECT_EQ(result.out.find("[kovran-onefile"), std::string::npos);
    EXPECT_NE(result.out.find("argc=2"), std::string::npos);
  }
}

TEST(Trace, FailingStartTellsHowItEnded) {
  ProcessResult result = start(e2e(L"damaged-console.exe"), L"1");
  EXPECT_EQ(result.exit_code, 2u);
  std::string message = "Error, couldn't decode attached data.";
  std::vector<std::string> lines;
  std::istringstream stream(result.err);
  for (std::string line; std::getline(stream, line);) {
    if (line != message) lines.push_back(line);
  }
  std::string traced;
  for (const std::string& line : lines) traced += line + "\n";
  EXPECT_TRUE(tells(
      trace_lines(traced, result.process_id),
      {"record layout 2, reuse crc", "target ", "phase unpack: ", "ended, status 2: " + message}))
      << result.err;
  EXPECT_NE(result.err.find(message + "\n"), std::string::npos);
}

TEST(Trace, UnsetOrZeroTracesNothing) {
  for (const wchar_t* value : {L"", L"0"}) {
    ProcessResult result = start(e2e(L"launcher.exe"), value);
    EXPECT_EQ(result.exit_code, 0u);
    EXPECT_EQ(result.err, "") << narrow_utf8(value);
  }
}

TEST(Trace, AnAbsolutePathGetsTheLinesAppended) {
  TempDir folder;
  std::wstring file = folder.file(L"trace.log");
  write_file(file, "earlier\r\n");
  ProcessResult first = start(e2e(L"launcher.exe"), file);
  ProcessResult second = start(e2e(L"launcher.exe"), file);
  EXPECT_EQ(first.err + second.err, "");
  std::string text = read_file(file);
  ASSERT_EQ(text.rfind("earlier\r\n", 0), 0u);
  std::string mark = "[kovran-onefile " + std::to_string(second.process_id) + "] program ";
  EXPECT_NE(text.find("[kovran-onefile " + std::to_string(first.process_id) + "] program "),
            std::string::npos)
      << text;
  EXPECT_NE(text.find(mark), std::string::npos) << text;
}

// A path that leads to no writable file (a folder) traces to standard error instead.
TEST(Trace, AFileThatCannotBeWrittenFallsBackToStandardError) {
  TempDir folder;
  ProcessResult result = start(e2e(L"launcher.exe"), folder.path());
  EXPECT_EQ(result.exit_code, 0u);
  EXPECT_TRUE(
      tells(trace_lines(result.err, result.process_id), {"record layout 2", "program status 0"}))
      << result.err;
}

}  // namespace
