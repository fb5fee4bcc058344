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

// The marker names the launcher and its time is the last start; it is held while the
// launcher, its program or anything they handed it to runs, and free once they end.
TEST_F(Builds, InUseMarkerIsHeldExactlyWhileTheBuildRuns) {
  install(L"a");
  HANDLE first = start({{L"PROBE_SLEEP_MS", L"3000"}});
  for (int i = 0; i < 200 && (folders().empty() || !in_use(folders()[0])); ++i) Sleep(25);
  ASSERT_EQ(folders().size(), 1u);
  std::wstring a = folders()[0];
  EXPECT_TRUE(in_use(a));
  EXPECT_EQ(from_utf16(read_file(marker(a))), launcher());
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
  ASSERT_EQ(run(), 0u);
  std::wstring c = newest(before);
  ASSERT_FALSE(a.empty() || b.empty() || c.empty());
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
  ASSERT_EQ(run({{L"PROBE_SLEEP_MS", L"1500"}}), 0u);
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
    ASSERT_EQ(run(), 0u);
    old.push_back(newest(before));
    before = folders();
  }
  for (const auto& folder : old) age(folder, 30);
  install(L"d-never");
  ASSERT_EQ(run({{L"PROBE_SLEEP_MS", L"1500"}}), 0u);
  for (const auto& folder : old) EXPECT_TRUE(exists(folder)) << narrow_utf8(folder);
}

}  // namespace
