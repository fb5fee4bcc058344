// Where a trace goes and that every line gets there: lines of several threads appended to
// one file, a value that cannot be followed told on standard error, statuses in hex.
#include "support/trace.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/trace_lines.h"
#include "tests/harness/process.h"
#include "tests/harness/temp_dir.h"

namespace {

// Standard error sent to a file of its own while a trace is opened and used.
class TraceTarget : public ::testing::Test {
 protected:
  void SetUp() override {
    error_path_ = folder_.file(L"stderr.txt");
    saved_error_ = GetStdHandle(STD_ERROR_HANDLE);
    error_ = CreateFileW(error_path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                         CREATE_ALWAYS, 0, nullptr);
    SetStdHandle(STD_ERROR_HANDLE, error_);
  }
  void TearDown() override {
    SetStdHandle(STD_ERROR_HANDLE, saved_error_);
    CloseHandle(error_);
    SetEnvironmentVariableW(L"KOVRAN_ONEFILE_TRACE", nullptr);
  }
  Trace open(const std::wstring& value) {
    SetEnvironmentVariableW(L"KOVRAN_ONEFILE_TRACE", value.c_str());
    Trace trace = {};
    open_trace(trace);
    return trace;
  }
  std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string prefix = "[kovran-onefile " + std::to_string(GetCurrentProcessId()) + "] ";
    for (std::string line; std::getline(stream, line);) {
      EXPECT_EQ(line.rfind(prefix, 0), 0u) << line;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line.substr(line.rfind(prefix, 0) == 0 ? prefix.size() : 0));
    }
    return lines;
  }
  std::vector<std::string> error_lines() { return lines_of(read_file(error_path_)); }

  TempDir folder_;
  std::wstring error_path_;
  HANDLE saved_error_ = nullptr;
  HANDLE error_ = INVALID_HANDLE_VALUE;
};

struct Writer {
  const Trace* trace;
  int number;
  int lines;
};

DWORD WINAPI write_lines(void* context) {
  const Writer& writer = *static_cast<const Writer*>(context);
  for (int i = 0; i < writer.lines; ++i) {
    std::wstring name = L"t" + std::to_wstring(writer.number) + L"\\f" + std::to_wstring(i) +
                        std::wstring(i % 37, L'x') + L".txt";
    trace_file(*writer.trace, FileFate::written, name.c_str(), i + 1);
  }
  return 0;
}

// Every line of every thread is in the file, whole and once.
TEST_F(TraceTarget, LinesOfManyThreadsAllReachTheFile) {
  for (int threads : {1, 2, 4, 8}) {
    SCOPED_TRACE(threads);
    std::wstring path = folder_.file(L"trace-" + std::to_wstring(threads) + L".log");
    SetEnvironmentVariableW(L"KOVRAN_ONEFILE_TRACE_FILES", L"1");
    Trace trace = open(path);
    SetEnvironmentVariableW(L"KOVRAN_ONEFILE_TRACE_FILES", nullptr);
    ASSERT_TRUE(tracing_files(trace));
    constexpr int lines_each = 3000;
    std::vector<Writer> writers;
    for (int i = 0; i < threads; ++i) writers.push_back({&trace, i, lines_each});
    std::vector<HANDLE> handles;
    for (Writer& writer : writers)
      handles.push_back(CreateThread(nullptr, 0, write_lines, &writer, 0, nullptr));
    WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), TRUE, INFINITE);
    for (HANDLE handle : handles) CloseHandle(handle);
    CloseHandle(trace.sink->out);
    std::vector<std::string> lines = lines_of(read_file(path));
    std::set<std::string> unique(lines.begin(), lines.end());
    EXPECT_EQ(lines.size(), static_cast<size_t>(threads * lines_each));
    EXPECT_EQ(unique.size(), lines.size());
    EXPECT_EQ(error_lines().size(), 0u);
  }
}

// A trace that cannot go where it was asked says why on standard error, in one line, and
// goes there.
TEST_F(TraceTarget, AValueThatCannotBeFollowedIsToldAndTracesOnStandardError) {
  struct Case {
    const char* name;
    std::wstring value;
    std::string told;
  };
  const Case cases[] = {
      {"a folder", folder_.path(),
       "trace: cannot append to " + narrow_utf8(folder_.path()) + " ([Error "},
      {"a missing folder", folder_.file(L"missing\\trace.log"),
       "trace: cannot append to " + narrow_utf8(folder_.file(L"missing\\trace.log")) +
           " ([Error 3] "},
      {"4,096 units", L"C:\\" + std::wstring(4093, L'a'),
       "trace: KOVRAN_ONEFILE_TRACE is too long (4096 units, at most 4095); tracing on "
       "standard error"},
  };
  for (const Case& check : cases) {
    SCOPED_TRACE(check.name);
    SetFilePointer(error_, 0, nullptr, FILE_BEGIN);
    SetEndOfFile(error_);
    Trace trace = open(check.value);
    ASSERT_TRUE(tracing(trace));
    trace_program_status(trace, 0);
    std::vector<std::string> lines = error_lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind(check.told, 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("tracing on standard error"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1], "program status 0");
  }
  // One unit less is a path like any other, which the system then refuses.
  SetFilePointer(error_, 0, nullptr, FILE_BEGIN);
  SetEndOfFile(error_);
  std::wstring longest =
      folder_.path() + L"\\" + std::wstring(4095 - folder_.path().size() - 1, L'b');
  Trace trace = open(longest);
  ASSERT_TRUE(tracing(trace));
  std::vector<std::string> lines = error_lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("trace: cannot append to C:", 0), 0u) << lines[0];
}

TEST_F(TraceTarget, StatusesAboveTheSignedRangeAreInHex) {
  Trace trace = open(L"1");
  const std::pair<uint32_t, const char*> cases[] = {
      {0, "program status 0"},
      {2, "program status 2"},
      {0x7FFFFFFF, "program status 2147483647"},
      {0x80000000, "program status 0x80000000"},
      {0xC000013A, "program status 0xC000013A"},
  };
  for (const auto& [status, line] : cases) trace_program_status(trace, status);
  trace_failure(trace, static_cast<int>(0xC000013A), nullptr);
  std::vector<std::string> lines = error_lines();
  ASSERT_EQ(lines.size(), std::size(cases) + 1);
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(lines[i], cases[i].second);
  EXPECT_EQ(lines.back(), "ended, status 0xC000013A: cancelled");
}

}  // namespace
