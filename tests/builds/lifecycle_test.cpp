// Build folders of the default layout under a moved cache folder: each build's in-use
// marker, the removal of other builds nobody uses, and the cache folder's override.
#include "tests/builds/build_folders.h"

namespace {

using namespace builds_test;

TEST_F(Builds, CacheDirOverrideIsUsedAndARelativeOneRefused) {
  install(L"a");
  EXPECT_EQ(run(), 0u);
  ASSERT_EQ(folders().size(), 1u);
  EXPECT_TRUE(file_exists(root() + L"\\" + folders()[0] + L"\\data.txt"));
  SetEnvironmentVariableW(L"KOVRAN_ONEFILE_CACHE_DIR", L"relative\\cache");
  ProcessResult refused = run_process(quote_argument(launcher()));
  EXPECT_EQ(refused.exit_code, 2u);
  EXPECT_NE((refused.out + refused.err).find("KOVRAN_ONEFILE_CACHE_DIR"), std::string::npos)
      << refused.out << refused.err;
  EXPECT_FALSE(file_exists(shared.path + L"\\bin\\relative"));
}

// What comes from KOVRAN_ONEFILE_CACHE_DIR is named when it stops a start: a value too long
// for any folder, a folder too long once the build's name follows (its length told, status
// 3 as abort() gave), and a folder where nothing can be written (the system's reason given).
TEST_F(Builds, CacheDirThatStopsTheStartIsNamed) {
  install(L"a");
  auto start_with = [&](const std::wstring& cache_dir) {
    ProcessOptions options;
    options.environment = {L"KOVRAN_ONEFILE_CACHE_DIR=" + cache_dir};
    return run_process(quote_argument(launcher()), options);
  };
  ProcessResult too_long = start_with(L"C:\\" + std::wstring(5000, L'x'));
  EXPECT_EQ(too_long.exit_code, 3u);
  EXPECT_EQ(too_long.err,
            "Error, KOVRAN_ONEFILE_CACHE_DIR is too long: 5003 units, at most 4095.\n");

  // 4090 units, then "\kovran-onefile\main-" and twelve digits.
  ProcessResult beyond =
      start_with(shared.path + L"\\" + std::wstring(4090 - shared.path.size() - 1, L'd'));
  EXPECT_EQ(beyond.exit_code, 3u);
  std::string named = "Error, the target directory '{CACHE_DIR}\\kovran-onefile\\main-";
  ASSERT_EQ(beyond.err.rfind(named, 0), 0u) << beyond.err;
  EXPECT_EQ(beyond.err.substr(named.size() + 12), "' is too long: 4123 units, at most 4095.\n");

  write_file(shared.path + L"\\blocked", "a file where the cache folder belongs");
  ProcessResult refused = start_with(shared.path + L"\\blocked");
  EXPECT_EQ(refused.exit_code, 2u);
  named = "Error, failed to open '" + narrow_utf8(shared.path) + "\\blocked\\kovran-onefile\\main-";
  EXPECT_EQ(refused.err.rfind(named, 0), 0u) << refused.err;
  EXPECT_NE(refused.err.find("' for writing. ([Error "), std::string::npos) << refused.err;
  const std::string note = ") The folder comes from KOVRAN_ONEFILE_CACHE_DIR.\n";
  ASSERT_GT(refused.err.size(), note.size());
  EXPECT_EQ(refused.err.substr(refused.err.size() - note.size()), note) << refused.err;
}

// A cache folder where nothing can be made: the trace names the folder that could not be
// made and why the in-use marker was not held, each with the system's reason.
TEST_F(Builds, TraceTellsWhichFolderFailedAndWhyTheMarkerWasNotHeld) {
  install(L"a");
  write_file(shared.path + L"\\blocked", "a file where the cache folder belongs");
  std::wstring trace = shared.path + L"\\trace.txt";
  ProcessOptions options;
  options.environment = {L"KOVRAN_ONEFILE_CACHE_DIR=" + shared.path + L"\\blocked",
                         L"KOVRAN_ONEFILE_TRACE=" + trace};
  ProcessResult refused = run_process(quote_argument(launcher()), options);
  EXPECT_EQ(refused.exit_code, 2u);
  std::string traced = read_file(trace);
  std::string folder = narrow_utf8(shared.path) + "\\blocked\\kovran-onefile";
  EXPECT_NE(traced.find("] folder not made: " + folder + " ([Error "), std::string::npos) << traced;
  EXPECT_NE(traced.find("] build folder, in-use marker not held ([Error 3] "), std::string::npos)
      << traced;
  EXPECT_NE(traced.find("] ended, status 2: Error, failed to open '" + folder), std::string::npos)
      << traced;
}

// The marker names the launcher and its time is the last start; it is held while the
// launcher, its program or anything they handed it to runs, and free once they end.
TEST_F(Builds, InUseMarkerIsHeldExactlyWhileTheBuildRuns) {
  install(L"a");
  HANDLE first = start({{L"PROBE_SLEEP_MS", L"3000"}});
  for (int i = 0; i < 200 && (folders().empty() || !in_use(folders()[0])); ++i) Sleep(25);
  ASSERT_EQ(folders().size(), 1u);
  std::wstring a = folders()[0];
  EXPECT_TRUE(in_use(a));
  // UTF-16 after its byte-order mark, which `type` needs to show it.
  std::string content = read_file(marker(a));
  EXPECT_EQ(content.substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(from_utf16(content.substr(2)), launcher());
  EXPECT_LT(now() - write_time(marker(a)), 60 * 10000000ull);
  EXPECT_EQ(run(), 0u) << "a second start of the same build";
  EXPECT_EQ(finish(first), 0u);
  EXPECT_FALSE(in_use(a));

  // Killed: the system closes the launcher's handle, and the job ends the program.
  HANDLE killed = start({{L"PROBE_SLEEP_MS", L"30000"}});
  wait_for_program();
  EXPECT_TRUE(in_use(a));
  TerminateProcess(killed, 9);
  finish(killed);
  for (int i = 0; i < 200 && in_use(a); ++i) Sleep(25);
  EXPECT_FALSE(in_use(a));

  // Inherited: a program started by the child with the child's handles keeps it in use.
  EXPECT_EQ(run({{L"PROBE_GRANDCHILD_SLEEP_MS", L"4000"}, {L"PROBE_GRANDCHILD_INHERITS", L"1"}}),
            0u);
  EXPECT_TRUE(in_use(a)) << "the grandchild inherited no handle";
  for (int i = 0; i < 400 && in_use(a); ++i) Sleep(25);
  EXPECT_FALSE(in_use(a));
}

// Four builds of one application started from one path: A runs, B and C ran; a start of D
// removes B (unused, old), keeps A (in use) and C (the most recent other); once A ended,
// the next start removes A, but not what a link inside it points to.
TEST_F(Builds, OldUnusedBuildsGoTheRunningAndTheMostRecentOtherStay) {
  std::vector<std::wstring> before;
  install(L"a");
  HANDLE a_running = start({{L"PROBE_SLEEP_MS", L"60000"}});
  wait_for_program();
  std::wstring a = newest(before);
  before = folders();
  install(L"b");
  ASSERT_EQ(run(), 0u);
  std::wstring b = newest(before);
  before = folders();
  install(L"c");
  ASSERT_EQ(
      run_beside(before, L"", {{L"PROBE_SLEEP_MS", L"1500"}, {L"KOVRAN_ONEFILE_TRACE", L"1"}}), 0u);
  std::wstring c = newest(before);
  ASSERT_FALSE(a.empty() || b.empty() || c.empty());
  // None is old enough yet: the trace names each one kept.
  std::string recent = read_file(output(starts));
  for (const std::wstring& folder : {a, b}) {
    EXPECT_NE(recent.find("] other build " + narrow_utf8(folder) + " kept: recent\r\n"),
              std::string::npos)
        << recent;
  }
  EXPECT_NE(recent.find("] other builds: 2 found, none old enough\r\n"), std::string::npos)
      << recent;
  // B's marker as launchers wrote it before the byte-order mark: still this launcher's.
  write_file(marker(b), std::string(reinterpret_cast<const char*>(launcher().c_str()),
                                    launcher().size() * sizeof(wchar_t)));
  age(a, 30);
  age(b, 30);
  age(c, 20);
  // What an earlier removal left behind a rename, and a build of another product.
  std::wstring leftover = root() + L"\\main-0123456789ab.removing";
  CreateDirectoryW(leftover.c_str(), nullptr);
  write_file(leftover + L"\\left.txt", "left");
  before = folders();
  ASSERT_EQ(finish(start({}, packed(L"other"))), 0u);
  std::wstring other = newest(before);
  age(other, 30);

  ASSERT_TRUE(in_use(a));
  install(L"d");
  // Its first start takes nothing over; the next one prunes.
  ASSERT_EQ(run_beside(folders()), 0u);
  ASSERT_EQ(run({{L"PROBE_SLEEP_MS", L"1500"}, {L"KOVRAN_ONEFILE_TRACE", L"1"}}), 0u);
  // The trace tells what became of each other build, and why.
  std::string traced = read_file(output(starts));
  EXPECT_NE(traced.find("] build folder, in-use marker held"), std::string::npos) << traced;
  for (const auto& [folder, outcome] : {std::pair{b, " removed"},
                                        {a, " kept: in use"},
                                        {c, " kept: latest"},
                                        {other, " kept: another launcher's"}}) {
    EXPECT_NE(traced.find("] other build " + narrow_utf8(folder) + outcome + "\r\n"),
              std::string::npos)
        << narrow_utf8(folder) << outcome << "\n"
        << traced;
  }
  EXPECT_FALSE(exists(b));
  EXPECT_FALSE(file_exists(marker(b)));
  EXPECT_TRUE(exists(a) && exists(c) && exists(other));
  EXPECT_FALSE(file_exists(leftover));

  TerminateProcess(a_running, 9);
  finish(a_running);
  age(a, 30);
  // A link inside A to a folder outside the cache, made where links are links.
  std::wstring outside = shared.path + L"\\outside";
  CreateDirectoryW(outside.c_str(), nullptr);
  write_file(outside + L"\\keep.txt", "keep");
  std::wstring link_unix = shared.unix_path + L"/cache/kovran-onefile/" + a + L"/link";
  run_process(L"Z:\\bin\\ln -s " + shared.unix_path + L"/outside " + link_unix);
  for (int i = 0; i < 200 && GetFileAttributesW((root() + L"\\" + a + L"\\link").c_str()) ==
                                 INVALID_FILE_ATTRIBUTES;
       ++i) {
    Sleep(25);
  }
  ASSERT_EQ(run({{L"PROBE_SLEEP_MS", L"1500"}}), 0u);
  EXPECT_FALSE(exists(a));
  EXPECT_TRUE(exists(c) && exists(other));
  EXPECT_EQ(read_file(outside + L"\\keep.txt"), "keep");
}

TEST_F(Builds, NeverRemovesNothing) {
  std::vector<std::wstring> before;
  std::vector<std::wstring> old;
  for (const wchar_t* build : {L"a", L"b", L"c"}) {
    install(build);
    ASSERT_EQ(run_beside(before), 0u);
    old.push_back(newest(before));
    before = folders();
  }
  for (const auto& folder : old) age(folder, 30);
  install(L"d-never");
  ASSERT_EQ(run({{L"PROBE_SLEEP_MS", L"1500"}}), 0u);
  for (const auto& folder : old) EXPECT_TRUE(exists(folder)) << narrow_utf8(folder);
}

}  // namespace
