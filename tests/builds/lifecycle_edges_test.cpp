// What stands in the way of removing old builds, builds whose launcher is gone, and a build
// that runs without its marker: old builds go whatever they hold, a running one never.
#include <cwchar>

#include "builds/build_owner.h"
#include "tests/builds/build_folders.h"

namespace {

using namespace builds_test;

void make_read_only(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << narrow_utf8(path);
  ASSERT_TRUE(SetFileAttributesW(path.c_str(), attributes | FILE_ATTRIBUTE_READONLY));
}

class Edges : public Builds {
 protected:
  // Starts the launcher at path (the installed one by default), taking no other build over,
  // and returns the build folder it added.
  std::wstring started(const std::wstring& path = L"") {
    std::vector<std::wstring> before = folders();
    EXPECT_EQ(run_beside(before, path), 0u);
    return newest(before);
  }
  // A newer build's start, up to three times, until folder is gone.
  bool gone_within_three_starts(const std::wstring& folder) {
    for (int i = 0; i < 3 && exists(folder); ++i) run({{L"PROBE_SLEEP_MS", L"1500"}});
    return !exists(folder);
  }
  // Every folder whose name starts with folder (the build and what removals left of it).
  int remains_of(const std::wstring& folder) {
    int count = 0;
    for (const auto& name : folders()) count += name.rfind(folder, 0) == 0 ? 1 : 0;
    return count;
  }
};

// A read-only file, a read-only folder holding a file, and a read-only marker.
TEST_F(Edges, AnOldBuildGoesWhateverItHolds) {
  install(L"a");
  std::wstring a = started();
  install(L"b");
  ASSERT_FALSE(started().empty());
  std::wstring folder = root() + L"\\" + a;
  make_read_only(folder + L"\\data.txt");
  CreateDirectoryW((folder + L"\\locked").c_str(), nullptr);
  write_file(folder + L"\\locked\\inner.txt", "inner");
  make_read_only(folder + L"\\locked\\inner.txt");
  make_read_only(folder + L"\\locked");
  age(a, 30);
  make_read_only(marker(a));
  install(L"c");
  ASSERT_EQ(run_beside(folders()), 0u);
  EXPECT_TRUE(gone_within_three_starts(a));
  EXPECT_EQ(remains_of(a), 0);
  EXPECT_FALSE(file_exists(marker(a)));
}

// What an earlier removal left under the plain name, read-only inside, and the same build
// started again and aged beside it. While a scanner holds a file in the leftover, the build's
// removal takes a name of its own; the next start finishes the leftover.
TEST_F(Edges, ALeftoverAndTheSameBuildAgedAgainBothGo) {
  install(L"a");
  std::wstring a = started();
  install(L"b");
  ASSERT_FALSE(started().empty());
  std::wstring leftover = root() + L"\\" + a + L".removing";
  CreateDirectoryW(leftover.c_str(), nullptr);
  CreateDirectoryW((leftover + L"\\sub").c_str(), nullptr);
  write_file(leftover + L"\\sub\\left.txt", "left");
  write_file(leftover + L"\\held.txt", "held");
  make_read_only(leftover + L"\\sub\\left.txt");
  make_read_only(leftover + L"\\sub");
  // And one that a removal cut short left under a name of its own.
  std::wstring suffixed = root() + L"\\" + a + L".removing-77-1";
  CreateDirectoryW(suffixed.c_str(), nullptr);
  write_file(suffixed + L"\\left.txt", "left");
  make_read_only(suffixed + L"\\left.txt");
  age(a, 30);
  HANDLE scanner = CreateFileW((leftover + L"\\held.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                               nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(scanner, INVALID_HANDLE_VALUE);
  install(L"c");
  ASSERT_EQ(run_beside(folders()), 0u);
  ASSERT_EQ(run({{L"PROBE_SLEEP_MS", L"1500"}}), 0u);
  EXPECT_FALSE(exists(a));
  EXPECT_EQ(remains_of(a), 1);
  EXPECT_TRUE(file_exists(leftover + L"\\held.txt"));
  EXPECT_FALSE(file_exists(suffixed));
  CloseHandle(scanner);
  EXPECT_TRUE(gone_within_three_starts(a + L".removing"));
  EXPECT_EQ(remains_of(a), 0);
}

// app-1.0.exe and app-1.1.exe (the latter's folder deleted with it) are gone; their builds
// are nobody's and go. A build whose launcher is still there, or on a drive that is away, is
// left to its own launcher.
TEST_F(Edges, BuildsOfLaunchersThatAreGoneAreRemovedByAnyLauncherOfTheApp) {
  std::wstring bin = shared.path + L"\\bin";
  CreateDirectoryW((bin + L"\\v11").c_str(), nullptr);
  CreateDirectoryW((bin + L"\\live").c_str(), nullptr);
  std::vector<std::pair<std::wstring, std::wstring>> launchers = {
      {L"a", bin + L"\\app-1.0.exe"},
      {L"b", bin + L"\\v11\\app-1.1.exe"},
      {L"d", bin + L"\\live\\app.exe"},
      {L"c", bin + L"\\app-1.2.exe"}};
  for (const auto& [build, path] : launchers) {
    ASSERT_TRUE(CopyFileW(packed(build).c_str(), path.c_str(), FALSE));
  }
  std::wstring v10 = started(launchers[0].second);
  std::wstring v11 = started(launchers[1].second);
  std::wstring live = started(launchers[2].second);
  // A build last started from a drive letter that is not there now.
  std::wstring away = started(packed(L"other"));
  DWORD drives = GetLogicalDrives();
  wchar_t letter = L'Y';
  while (letter > L'D' && (drives & (1u << (letter - L'A'))) != 0) --letter;
  std::wstring away_path = std::wstring(1, letter) + L":\\apps\\app.exe";
  write_file(marker(away), std::string(reinterpret_cast<const char*>(away_path.c_str()),
                                       away_path.size() * sizeof(wchar_t)));
  std::wstring outside = shared.path + L"\\outside";
  CreateDirectoryW(outside.c_str(), nullptr);
  write_file(outside + L"\\keep.txt", "keep");
  ASSERT_TRUE(DeleteFileW(launchers[0].second.c_str()));
  remove_tree(bin + L"\\v11");
  for (const auto& folder : {v10, v11, live, away}) age(folder, 30);

  ASSERT_EQ(finish(start({{L"PROBE_SLEEP_MS", L"1500"}}, launchers[3].second)), 0u);
  EXPECT_FALSE(exists(v10) || exists(v11));
  EXPECT_FALSE(file_exists(marker(v10)) || file_exists(marker(v11)));
  EXPECT_TRUE(exists(live) && exists(away));
  EXPECT_TRUE(file_exists(launchers[2].second));
  EXPECT_EQ(read_file(outside + L"\\keep.txt"), "keep");
}

// A scanner holds the marker exclusively while a build starts, longer than the start waits
// for it, and lets go; a newer build then prunes while the first one's program runs.
TEST_F(Edges, ABuildRunningWithoutItsMarkerStaysWhole) {
  install(L"a");
  std::wstring a = started();
  install(L"b");
  std::wstring b = started();
  ASSERT_FALSE(b.empty());
  age(a, 30);
  HANDLE scanner =
      CreateFileW(marker(a).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(scanner, INVALID_HANDLE_VALUE);
  HANDLE running = start({{L"PROBE_SLEEP_MS", L"8000"}}, packed(L"a"));
  wait_for_program();
  CloseHandle(scanner);
  install(L"c");
  // Neither is taken over: B is held, and A's folder is held by its program.
  ASSERT_EQ(run_beside({b}, L"", {{L"PROBE_SLEEP_MS", L"1500"}}), 0u);
  EXPECT_TRUE(exists(a));
  EXPECT_TRUE(file_exists(root() + L"\\" + a + L"\\main.exe"));
  EXPECT_EQ(read_file(root() + L"\\" + a + L"\\data.txt"), "build a\n");
  EXPECT_EQ(remains_of(a), 1) << "renamed under its program";
  EXPECT_EQ(finish(running), 0u);
}

TEST(VolumeRoot, FullPathsOnlyUpToTheirFirstFolder) {
  struct Case {
    const wchar_t* path;
    size_t root;
  } cases[] = {
      {L"C:\\apps\\app.exe", 3},
      {L"c:\\app.exe", 3},
      {L"\\\\server\\share\\app.exe", 15},
      {L"\\\\?\\C:\\apps\\app.exe", 7},
      {L"\\\\?\\UNC\\server\\share\\app.exe", 21},
      {L"C:app.exe", 0},
      {L"apps\\app.exe", 0},
      {L"\\apps\\app.exe", 0},
      {L"\\\\server", 0},
      {L"\\\\server\\share", 0},
      {L"\\\\\\share\\app.exe", 0},
      {L"\\\\server\\\\app.exe", 0},
      {L"", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(volume_root_length(c.path), c.root) << narrow_utf8(c.path);
  }
}

}  // namespace
