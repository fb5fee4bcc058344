// Launchers packed by pack_reliability.sh, started the ways users and scripts start
// them: many at once on an empty target, nested, in odd environments, and with a main
// program that cannot run.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/harness/process.h"
#include "tests/harness/temp_dir.h"

namespace {

std::wstring packed(const std::wstring& name = L"") {
  return this_program_directory() + L"\\reliability" + (name.empty() ? L"" : L"\\" + name);
}

// The value of a "key=value" line the probe child printed, or "<none>".
std::string child_value(const std::string& out, const std::string& key) {
  size_t at = out.rfind(key + "=", 0) == 0 ? 0 : out.find("\n" + key + "=");
  if (at == std::string::npos) return "<none>";
  if (at != 0 || out.compare(0, key.size() + 1, key + "=") != 0) ++at;
  size_t start = at + key.size() + 1;
  return out.substr(start, out.find('\n', start) - start);
}

struct SourceFile {
  std::wstring name;  // relative to the packed folder
  std::string bytes;
};

// Every file below folder, read once, so that each round compares against memory.
std::vector<SourceFile> read_tree(const std::wstring& folder) {
  std::vector<SourceFile> files;
  for_each_file(folder, [&](const std::wstring& name, const WIN32_FIND_DATAW&) {
    files.push_back({name, read_file(folder + name)});
  });
  return files;
}

// The first file of source whose copy below target differs from it, or "".
std::wstring first_difference(const std::vector<SourceFile>& source, const std::wstring& target) {
  for (const auto& file : source) {
    if (!file_exists(target + file.name) || read_file(target + file.name) != file.bytes) {
      return file.name;
    }
  }
  return L"";
}

ProcessResult start(const std::wstring& launcher, const std::wstring& tail = L"",
                    const ProcessOptions& options = {}) {
  return run_process(quote_argument(launcher) + (tail.empty() ? L"" : L" " + tail), options);
}

// Every launcher of a round is started from its own thread once all threads are ready.
std::vector<ProcessResult> start_together(const std::wstring& launcher, int count,
                                          const ProcessOptions& options) {
  std::vector<ProcessResult> results(count);
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::vector<std::thread> threads;
  for (int i = 0; i < count; ++i) {
    threads.emplace_back([&, i] {
      WaitForSingleObject(go, INFINITE);
      results[i] = start(launcher, L"", options);
    });
  }
  Sleep(20);
  SetEvent(go);
  for (auto& thread : threads) thread.join();
  CloseHandle(go);
  return results;
}

// Each round starts a copy of its own (made by pack_reliability.sh), so that every
// round finds an empty target without 500 files being deleted under Wine first.
TEST(Reliability, SimultaneousColdStartsAllSucceedAndEveryChildSeesTheWholeTree) {
  std::vector<SourceFile> source = read_tree(packed(L"small"));
  ASSERT_EQ(source.size(), 500u);
  ProcessOptions options;
  options.environment = {L"PROBE_TREE_SOURCE=" + packed(L"small")};
  for (int count : {8, 16}) {
    for (int round = 0; round < 20; ++round) {
      std::wstring folder =
          packed(L"rounds\\" + std::to_wstring(count) + L"-" + std::to_wstring(round));
      std::wstring target = folder + L"\\small-target";
      ASSERT_FALSE(file_exists(target));
      std::vector<ProcessResult> results = start_together(folder + L"\\small.exe", count, options);
      for (const auto& result : results) {
        ASSERT_EQ(result.exit_code, 0u)
            << count << " at once, round " << round << ": " << result.out << result.err;
        ASSERT_EQ(child_value(result.out, "tree"), "same") << count << " at once, round " << round;
      }
      ASSERT_EQ(first_difference(source, target), L"") << count << ", round " << round;
    }
  }
}

// Names below target whose file does not carry the time stamp.
std::vector<std::wstring> without_time(const std::vector<SourceFile>& source,
                                       const std::wstring& target, uint64_t stamp) {
  std::vector<std::wstring> names;
  for (const auto& file : source) {
    if (write_time(target + file.name) != stamp) names.push_back(file.name);
  }
  return names;
}

void expect_all_see_the_whole_tree(const std::vector<ProcessResult>& results, int round) {
  for (const auto& result : results) {
    ASSERT_EQ(result.exit_code, 0u) << "round " << round << ": " << result.out << result.err;
    ASSERT_EQ(child_value(result.out, "tree"), "same") << "round " << round;
  }
}

// Under the stamp rule as under the CRC-32 rule: simultaneous starts on an empty target,
// then on one with files missing, changed and cut, all find the whole tree, which ends up
// carrying the stamp throughout.
TEST(Reliability, SimultaneousStartsUnderTheStampRuleAllSucceedAndLeaveEveryFileStamped) {
  std::vector<SourceFile> source = read_tree(packed(L"small"));
  ProcessOptions options;
  options.environment = {L"PROBE_TREE_SOURCE=" + packed(L"small")};
  std::wstring target;
  for (int round = 0; round < 5; ++round) {
    std::wstring folder = packed(L"rounds\\stamp-" + std::to_wstring(round));
    target = folder + L"\\small-target";
    ASSERT_FALSE(file_exists(target));
    expect_all_see_the_whole_tree(start_together(folder + L"\\small.exe", 8, options), round);
    ASSERT_EQ(first_difference(source, target), L"") << "round " << round;
  }
  uint64_t stamp = write_time(target + source[0].name);
  ASSERT_EQ(without_time(source, target, stamp), std::vector<std::wstring>{});
  for (size_t i = 0; i < source.size(); i += 25) {
    std::wstring path = target + source[i].name;
    if (i % 3 == 0) DeleteFileW(path.c_str());
    if (i % 3 == 1) write_file(path, source[i].bytes + "+");
    if (i % 3 == 2) write_file(path, source[i].bytes.substr(0, source[i].bytes.size() / 2));
  }
  remove_tree(target + L"\\d3");
  std::wstring launcher = target.substr(0, target.rfind(L'\\')) + L"\\small.exe";
  expect_all_see_the_whole_tree(start_together(launcher, 8, options), 5);
  EXPECT_EQ(first_difference(source, target), L"");
  EXPECT_EQ(without_time(source, target, stamp), std::vector<std::wstring>{});
}

TEST(Reliability, NestedLauncherRunsItsOwnChildWithTheArgumentsAndPassesItsExitCodeBack) {
  remove_tree(packed(L"nested-target"));
  ProcessOptions options;
  options.environment = {L"PROBE_EXIT_CODE=42"};
  ProcessResult result = start(packed(L"nested.exe"), L"one \"two three\"", options);
  ASSERT_EQ(result.exit_code, 42u) << result.out << result.err;
  std::wstring inner = packed(L"nested-target\\main.exe");
  EXPECT_EQ(child_value(result.out, "arg0"), narrow_utf8(inner));
  EXPECT_EQ(child_value(result.out, "arg1"), "one");
  EXPECT_EQ(child_value(result.out, "arg2"), "two three");
  EXPECT_EQ(child_value(result.out, "self"),
            narrow_utf8(packed(L"nested-target\\.qorvix\\runtime-1.17.4-legacy2008\\main.exe")));
  // The inner launcher names itself, not the outer one; the outer launcher put its own
  // path first on the inner one's command line.
  EXPECT_NE(child_value(result.out, "KOVRAN_ONEFILE_PARENT"), std::to_string(result.process_id));
  EXPECT_EQ(child_value(result.out, "KOVRAN_ONEFILE_DIRECTORY"),
            narrow_utf8(packed(L"nested-target")));
  EXPECT_EQ(child_value(result.out, "KOVRAN_ORIGINAL_ARGV0"), narrow_utf8(packed(L"nested.exe")));
}

TEST(Reliability, MainProgramThatCannotRunEndsWithTheLaunchMessage) {
  ProcessResult result = start(packed(L"not-a-program.exe"));
  EXPECT_EQ(result.exit_code, 2u);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err.rfind("Error, couldn't launch child ([Error 193] ", 0), 0u) << result.err;
  EXPECT_EQ(result.err.back(), '\n');
  EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
}

TEST(Reliability, HandOffValueGivenTwiceInDifferentCaseIsReplacedByAFreshOne) {
  ProcessOptions options;
  options.raw_environment = {L"KOVRAN_ONEFILE_RANDOM=AAAAAAAAAAA",
                             L"kovran_onefile_random=BBBBBBBBBBB"};
  ProcessResult result = start(packed(L"random-spec.exe"), L"", options);
  ASSERT_EQ(result.exit_code, 0u) << result.err;
  std::string random = child_value(result.out, "KOVRAN_ONEFILE_RANDOM");
  EXPECT_EQ(random.size(), 11u);
  EXPECT_NE(random, "AAAAAAAAAAA");
  EXPECT_NE(random, "BBBBBBBBBBB");
  EXPECT_EQ(child_value(result.out, "self"),
            narrow_utf8(packed(L"random-" + widen_utf8(random) + L"\\main.exe")));
  remove_tree(packed(L"random-" + widen_utf8(random)));
}

TEST(Reliability, TemporaryFolderTheSystemCannotGiveEndsWithTheSpecMessage) {
  std::wstring overlong = L"C:\\" + std::wstring(5000, L'x');
  ProcessOptions options;
  options.environment = {L"TMP=" + overlong, L"TEMP=" + overlong};
  ProcessResult result = start(packed(L"temp-spec.exe"), L"", options);
  EXPECT_EQ(result.exit_code, 3u);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "Error, couldn't runtime expand spec '{TEMP}\\kv-reliability'.\n");
}

// Invoked by a one-letter name, so that the child's line, which starts with the full
// module path, is longer than the launcher's own.
ProcessResult start_with_child_line_of(size_t units) {
  std::wstring launcher = packed(L"launcher.exe");
  std::wstring rest = L" " + std::wstring(units - launcher.size() - 5, L'a') + L" END";
  ProcessOptions options;
  options.application = launcher.c_str();
  return run_process(L"l" + rest, options);
}

TEST(Reliability, ChildCommandLineBeyondTheSystemsBoundEndsWithAMessageInsteadOfLosingItsEnd) {
  ProcessResult fits = start_with_child_line_of(32766);
  ASSERT_EQ(fits.exit_code, 0u) << fits.err;
  EXPECT_EQ(child_value(fits.out, "arg2"), "END");
  ProcessResult too_long = start_with_child_line_of(32767);
  EXPECT_EQ(too_long.exit_code, 3u);
  EXPECT_EQ(too_long.out, "");
  EXPECT_EQ(too_long.err,
            "Error, the command line for the program is too long: 32767 units, at most 32766.\n");
}

}  // namespace
