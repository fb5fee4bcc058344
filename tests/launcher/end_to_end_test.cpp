// Packed launchers (made by pack_end_to_end.sh with the pack tool) started as a user
// would start them, with probe_child.exe as the packaged program.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/harness/process.h"
#include "tests/harness/temp_dir.h"

namespace {

std::wstring e2e(const std::wstring& name = L"") {
  return this_program_directory() + L"\\e2e" + (name.empty() ? L"" : L"\\" + name);
}

// What the probe child printed: "key=value" lines.
struct ChildReport {
  std::map<std::string, std::string> values;
  std::vector<std::string> arguments;

  explicit ChildReport(const std::string& out) {
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
      size_t equals = line.find('=');
      if (equals == std::string::npos) continue;
      values[line.substr(0, equals)] = line.substr(equals + 1);
      if (line.rfind("arg", 0) == 0 && line.rfind("argc", 0) != 0) {
        arguments.push_back(line.substr(equals + 1));
      }
    }
  }
  const std::string& operator[](const std::string& key) { return values[key]; }
};

ProcessResult start(const std::wstring& launcher, const std::wstring& tail = L"",
                    ProcessOptions options = {}) {
  return run_process(quote_argument(launcher) + (tail.empty() ? L"" : L" " + tail), options);
}

void list_files(const std::wstring& root, const std::wstring& relative,
                std::vector<std::wstring>* files) {
  WIN32_FIND_DATAW found;
  std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    std::wstring child = relative.empty() ? name : relative + L"\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      list_files(root, child, files);
    } else {
      files->push_back(child);
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

TEST(EndToEnd, ChildGetsTheArgumentsTheHandOffVariablesAndTheLaunchersStreams) {
  std::vector<std::wstring> arguments = {L"",
                                         L"simple",
                                         L"with space",
                                         L"tab\there",
                                         L"quote\"in",
                                         L"back\\\\\"mix",
                                         L"trailing\\",
                                         L"sp ace\\\\",
                                         L"",
                                         L"",
                                         L"\x00fcn\x00ef \x4e2d",
                                         L""};
  std::wstring tail;
  for (const auto& argument : arguments) tail += quote_argument(argument) + L" ";
  ProcessOptions options;
  options.environment = {L"KOVRAN_ONEFILE_START=1", L"KOVRAN_ONEFILE_TIME_US=2",
                         L"KOVRAN_ONEFILE_RANDOM=3", L"KOVRAN_ONEFILE_PARENT=4"};
  TempDir cwd;
  options.current_directory = cwd.path().c_str();
  ProcessResult result = start(e2e(L"launcher.exe"), tail, options);
  ASSERT_EQ(result.exit_code, 0u) << result.out << result.err;
  ChildReport report(result.out);

  std::vector<std::string> expected = {narrow_utf8(e2e(L"launcher.exe"))};
  for (const auto& argument : arguments) expected.push_back(narrow_utf8(argument));
  EXPECT_EQ(report.arguments, expected);
  EXPECT_EQ(report["KOVRAN_ONEFILE_PARENT"], std::to_string(result.process_id));
  EXPECT_EQ(report["KOVRAN_ONEFILE_DIRECTORY"], narrow_utf8(e2e()));
  EXPECT_EQ(report["KOVRAN_ORIGINAL_ARGV0"], narrow_utf8(e2e(L"launcher.exe")));
  EXPECT_EQ(report["KOVRAN_ONEFILE_START"], "<unset>");
  EXPECT_EQ(report["KOVRAN_ONEFILE_TIME_US"], "<unset>");
  EXPECT_EQ(report["KOVRAN_ONEFILE_RANDOM"], "<unset>");
  EXPECT_EQ(report["cwd"], narrow_utf8(cwd.path()));
  EXPECT_EQ(report["self"], narrow_utf8(e2e(L".qorvix\\runtime-1.17.4-legacy2008\\main.exe")));
}

// As typed at a prompt: `tool "a b" "" c` is three arguments.
TEST(EndToEnd, EmptyArgumentStaysAnArgument) {
  ProcessResult result = start(e2e(L"launcher.exe"), L"\"a b\" \"\" c");
  ASSERT_EQ(result.exit_code, 0u) << result.err;
  ChildReport report(result.out);
  EXPECT_EQ(report["argc"], "4");
  EXPECT_EQ(report.arguments,
            (std::vector<std::string>{narrow_utf8(e2e(L"launcher.exe")), "a b", "", "c"}));
}

// Quotes, runs of blanks and "" inside quotes mean what the program's own runtime says.
TEST(EndToEnd, TheProgramGetsTheLaunchersArgumentsAsTyped) {
  const std::wstring typed = L" \"a\"\"b c\"  d   \"\" x\\ \"e f\\\\\" ";
  ProcessResult result = run_process(quote_argument(e2e(L"launcher.exe")) + typed);
  ASSERT_EQ(result.exit_code, 0u) << result.err;
  EXPECT_EQ(ChildReport(result.out)["command_line"],
            narrow_utf8(quote_argument(e2e(L"launcher.exe")) + typed));
}

TEST(EndToEnd, OriginalArgv0KeepsTheInvokedNameWhileTheChildGetsTheModulePath) {
  ProcessOptions options;
  std::wstring launcher = e2e(L"launcher.exe");
  options.application = launcher.c_str();
  ProcessResult result = run_process(L"launcher one", options);
  ASSERT_EQ(result.exit_code, 0u) << result.err;
  ChildReport report(result.out);
  EXPECT_EQ(report["KOVRAN_ORIGINAL_ARGV0"], "launcher");
  EXPECT_EQ(report.arguments, (std::vector<std::string>{narrow_utf8(launcher), "one"}));
}

TEST(EndToEnd, ExitCodesPassThroughBitForBit) {
  for (const wchar_t* code : {L"0", L"1", L"2", L"255", L"0xC0000005"}) {
    ProcessOptions options;
    options.environment = {std::wstring(L"PROBE_EXIT_CODE=") + code};
    ProcessResult result = start(e2e(L"launcher.exe"), L"", options);
    EXPECT_EQ(result.exit_code, wcstoul(code, nullptr, 0)) << narrow_utf8(code);
  }
}

TEST(EndToEnd, TemporarySpecNamesItsFolderAfterTheSharedValues) {
  ProcessResult result = start(e2e(L"temp-spec.exe"));
  ASSERT_EQ(result.exit_code, 0u) << result.err;
  ChildReport report(result.out);
  wchar_t temp[MAX_PATH];
  std::wstring temp_dir(temp, GetTempPathW(MAX_PATH, temp));
  std::string folder = narrow_utf8(temp_dir) + "kv-" + std::to_string(result.process_id) + "-" +
                       report["KOVRAN_ONEFILE_RANDOM"] + "-" + report["KOVRAN_ONEFILE_START"] +
                       "-" + report["KOVRAN_ONEFILE_TIME_US"];
  EXPECT_EQ(report["self"], folder + "\\main.exe");
  EXPECT_EQ(report["KOVRAN_ONEFILE_RANDOM"].size(), 11u);
  EXPECT_EQ(report["KOVRAN_ONEFILE_RANDOM"].find_first_not_of(
                "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"),
            std::string::npos);
  EXPECT_EQ(report["KOVRAN_ONEFILE_TIME_US"].size(), 6u);
  remove_tree(widen_utf8(folder));
}

TEST(EndToEnd, ProgramBaseSpecUnpacksBesideTheLauncher) {
  ProcessResult result = start(e2e(L"app.EXE"));
  ASSERT_EQ(result.exit_code, 0u) << result.err;
  EXPECT_EQ(ChildReport(result.out)["self"], narrow_utf8(e2e(L"app.d\\main.exe")));
}

TEST(EndToEnd, ThousandFilesAreRecreatedExactlyAndKeptOnTheSecondStart) {
  std::wstring target = e2e(L"many-target");
  remove_tree(target);
  ProcessResult first = start(e2e(L"many.exe"), L"a \"b c\"");
  ASSERT_EQ(first.exit_code, 0u) << first.err;
  EXPECT_EQ(ChildReport(first.out).arguments,
            (std::vector<std::string>{narrow_utf8(e2e(L"many.exe")), "a", "b c"}));

  std::vector<std::wstring> source, unpacked;
  list_files(e2e(L"many"), L"", &source);
  list_files(target, L"", &unpacked);
  ASSERT_EQ(source.size(), 1000u);
  ASSERT_EQ(unpacked.size(), source.size());
  std::vector<uint64_t> times;
  for (const auto& name : source) {
    ASSERT_EQ(read_file(target + L"\\" + name), read_file(e2e(L"many\\" + name)))
        << narrow_utf8(name);
    times.push_back(write_time(target + L"\\" + name));
  }
  Sleep(50);
  ProcessResult second = start(e2e(L"many.exe"));
  ASSERT_EQ(second.exit_code, 0u);
  EXPECT_EQ(ChildReport(second.out)["self"], narrow_utf8(target + L"\\main.exe"));
  for (size_t i = 0; i < source.size(); ++i) {
    EXPECT_EQ(write_time(target + L"\\" + source[i]), times[i]) << narrow_utf8(source[i]);
  }
}

// As packed with --reuse stamp: the files get the stamp from the launcher's record, and a
// start that finds every file current reads nothing of the payload; one that finds a file
// missing decodes and writes it.
TEST(EndToEnd, StampLauncherDecodesNothingWhenEveryFileIsCurrent) {
  std::wstring target = e2e(L"stamp-target");
  std::wstring data = target + L"\\data\\nested\\file.txt";
  remove_tree(target);
  ProcessResult first = start(e2e(L"stamp.exe"));
  ASSERT_EQ(first.exit_code, 0u) << first.out << first.err;
  uint64_t stamp = write_time(target + L"\\main.exe");
  constexpr uint64_t filetime_1999 = 125596224000000000ULL;
  EXPECT_LT(stamp, filetime_1999);
  EXPECT_EQ(write_time(data), stamp);

  ProcessResult current = start(e2e(L"stamp-undecodable.exe"), L"x");
  ASSERT_EQ(current.exit_code, 0u) << current.out << current.err;
  ChildReport report(current.out);
  EXPECT_EQ(report["self"], narrow_utf8(target + L"\\main.exe"));
  EXPECT_EQ(report.arguments,
            (std::vector<std::string>{narrow_utf8(e2e(L"stamp-undecodable.exe")), "x"}));

  DeleteFileW(data.c_str());
  ProcessResult missing = start(e2e(L"stamp-undecodable.exe"));
  EXPECT_EQ(missing.exit_code, 2u);
  EXPECT_EQ(missing.err, "Error, couldn't decode attached data.\n");
  EXPECT_EQ(missing.out, "");
  ProcessResult repaired = start(e2e(L"stamp.exe"));
  ASSERT_EQ(repaired.exit_code, 0u) << repaired.out << repaired.err;
  EXPECT_EQ(read_file(data), "payload data\n");
  EXPECT_EQ(write_time(data), stamp);
  EXPECT_EQ(start(e2e(L"stamp-undecodable.exe")).exit_code, 0u);
}

TEST(EndToEnd, BrokenPayloadsEndWithTheirMessagesBeforeAnythingIsCreated) {
  ProcessResult bad_magic = start(e2e(L"bad-magic.exe"));
  EXPECT_EQ(bad_magic.exit_code, 2u);
  EXPECT_EQ(bad_magic.out, "Error, couldn't find attached data header.\n");
  EXPECT_EQ(bad_magic.err, "");
  ProcessResult damaged = start(e2e(L"damaged.exe"));
  EXPECT_EQ(damaged.exit_code, 2u);
  EXPECT_EQ(damaged.out, "Error, couldn't decode attached data.\n");
  EXPECT_FALSE(file_exists(e2e(L"broken-target")));
}

// A record whose payload or index lies outside the image is never read.
TEST(EndToEnd, RecordReachingPastTheImageEndsTheStartWithTheDecodeMessage) {
  for (const wchar_t* name :
       {L"record-payload-address", L"record-payload-length", L"record-index-address"}) {
    SCOPED_TRACE(narrow_utf8(name));
    ProcessResult result = start(e2e(std::wstring(name) + L".exe"));
    EXPECT_EQ(result.exit_code, 2u);
    // A console launcher, as the probe child is a console program.
    EXPECT_EQ(result.err, "Error, couldn't decode attached data.\n");
  }
}

// A console launcher's standard output may be the user's data: its own words stay out.
TEST(EndToEnd, AConsoleLauncherWritesItsMessagesToStandardError) {
  const std::pair<const wchar_t*, const char*> cases[] = {
      {L"bad-magic-console.exe", "Error, couldn't find attached data header.\n"},
      {L"damaged-console.exe", "Error, couldn't decode attached data.\n"},
  };
  for (const auto& [name, message] : cases) {
    SCOPED_TRACE(narrow_utf8(name));
    ProcessResult result = start(e2e(name));
    EXPECT_EQ(result.exit_code, 2u);
    EXPECT_EQ(result.err, message);
    EXPECT_EQ(result.out, "");
  }
  EXPECT_FALSE(file_exists(e2e(L"broken-target")));
}

// Damaged data is never run: an entry whose bytes differ from its CRC-32, and a frame whose
// checksum does not match, end the start before the child prints anything.
TEST(EndToEnd, DamagedDataThatDecodesEndsTheStartBeforeTheChild) {
  for (const wchar_t* name : {L"bad-entry", L"bad-frame-checksum"}) {
    SCOPED_TRACE(narrow_utf8(name));
    ProcessResult result = start(e2e(std::wstring(name) + L".exe"));
    EXPECT_EQ(result.exit_code, 2u);
    EXPECT_EQ(result.out, "Error, couldn't decode attached data.\n");
    EXPECT_EQ(result.err, "");
  }
  EXPECT_FALSE(file_exists(e2e(L"bad-entry-target\\data\\file.txt")));
}

}  // namespace
