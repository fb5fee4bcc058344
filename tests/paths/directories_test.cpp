#include "paths/directories.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <set>
#include <string>
#include <vector>

#include "paths/known_directories.h"
#include "tests/paths/expansion_helpers.h"
#include "tests/paths/fake_platform_directory.h"

namespace {

using Calls = std::vector<std::wstring>;

std::string narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

class Directories : public ::testing::Test {
 protected:
  void SetUp() override {
    // Entries of earlier tests are left to the process's end, as the launcher does.
    known = {};
    fake_file_system = {};
    home = expand(L"{HOME}").text;
  }

  Calls create_for_file(const std::wstring& file) {
    size_t before = fake_file_system.calls.size();
    create_parent_directories_of(known, file.c_str());
    return Calls(fake_file_system.calls.begin() + before, fake_file_system.calls.end());
  }

  Calls ensure(const std::wstring& folder, bool expected = true) {
    size_t before = fake_file_system.calls.size();
    EXPECT_EQ(ensure_directory(known, folder.c_str()), expected) << folder;
    return Calls(fake_file_system.calls.begin() + before, fake_file_system.calls.end());
  }

  KnownDirectories known;
  std::wstring home;
};

TEST_F(Directories, MissingFoldersAreCreatedFromTheHighestOneDown) {
  fake_file_system.existing = {L"D:\\Tools"};
  const std::wstring target = L"D:\\Tools\\.qorvix\\runtime-1.17.4-legacy2008";
  EXPECT_EQ(create_for_file(target + L"\\lib\\x.dll"),
            (Calls{target + L"\\lib", target, L"D:\\Tools\\.qorvix", target, target + L"\\lib"}));
  ASSERT_EQ(known.count, 4);
  EXPECT_EQ(std::wstring(known.entries[0]), home);
  // Later files in handled folders cost nothing.
  EXPECT_EQ(create_for_file(target + L"\\lib\\y.dll"), Calls{});
  EXPECT_EQ(create_for_file(target + L"\\app.exe"), Calls{});
}

TEST_F(Directories, WalkUpEndsAtTheProfileFolder) {
  // The fake knows nothing of the profile folder, so only the list can stop the walk.
  EXPECT_EQ(ensure(home), Calls{});
  EXPECT_EQ(create_for_file(home + L"\\a\\b\\x.dll"),
            (Calls{home + L"\\a\\b", home + L"\\a", home + L"\\a", home + L"\\a\\b"}));
}

// Without a profile folder (a service account), the walk up goes on to the drive; nothing
// ends the start for a folder its template never named.
TEST_F(Directories, WithoutAProfileFolderTheWalkUpGoesOnToTheDrive) {
  fake_file_system.no_profile_folder = true;
  EXPECT_EQ(create_for_file(L"D:\\a\\b\\x.dll"), (Calls{L"D:\\a\\b", L"D:\\a", L"D:\\a\\b"}));
  EXPECT_EQ(known.count, 2);
}

TEST_F(Directories, DriveRootsAndParentlessPathsNeedNoCall) {
  EXPECT_EQ(create_for_file(L"x.dll"), Calls{});
  EXPECT_EQ(create_for_file(L"\\x.dll"), Calls{});
  EXPECT_EQ(known.count, 0);
  EXPECT_EQ(create_for_file(L"C:\\x.dll"), Calls{});
  EXPECT_EQ(known.count, 1);
}

TEST_F(Directories, ExistingFolderCostsOneCallAndIsThenKnown) {
  fake_file_system.existing = {L"D:\\Data"};
  EXPECT_EQ(ensure(L"D:\\Data"), Calls{L"D:\\Data"});
  EXPECT_EQ(ensure(L"D:\\Data"), Calls{});
  // Known entries match exactly; another letter case goes to the system.
  EXPECT_EQ(ensure(L"D:\\DATA"), Calls{L"D:\\DATA"});
}

TEST_F(Directories, OtherFailuresAreReportedAndNotRecorded) {
  fake_file_system.refused = {L"D:\\Locked"};
  EXPECT_EQ(ensure(L"D:\\Locked", false), Calls{L"D:\\Locked"});
  EXPECT_EQ(ensure(L"D:\\Locked", false), Calls{L"D:\\Locked"});
  EXPECT_EQ(known.count, 1);
  EXPECT_EQ(create_for_file(L"D:\\Locked\\x.dll"), (Calls{L"D:\\Locked", L"D:\\Locked"}));
}

// A folder that cannot be made fails the file's folders with its own reason, the first
// one that failed once its parents were tried, not a later folder's "path not found".
TEST_F(Directories, FolderThatCannotBeMadeGivesItsOwnReason) {
  struct Case {
    std::set<std::wstring> existing, refused;
    std::wstring file;
    bool made;
    DWORD error;
  };
  const Case cases[] = {
      {{L"D:\\ro"}, {L"D:\\ro\\build"}, L"D:\\ro\\build\\data\\x.dll", false, ERROR_ACCESS_DENIED},
      {{}, {L"D:\\ro"}, L"D:\\ro\\build\\x.dll", false, ERROR_ACCESS_DENIED},
      {{L"D:\\ok"},
       {L"D:\\ok\\build\\data"},
       L"D:\\ok\\build\\data\\x.dll",
       false,
       ERROR_ACCESS_DENIED},
      {{L"D:\\ok"}, {}, L"D:\\ok\\build\\data\\x.dll", true, ERROR_SUCCESS},
  };
  for (const Case& c : cases) {
    SetUp();
    fake_file_system.existing = c.existing;
    fake_file_system.refused = c.refused;
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(create_parent_directories_of(known, c.file.c_str()), c.made) << narrow(c.file);
    DWORD error = GetLastError();
    if (!c.made) {
      EXPECT_EQ(error, c.error) << narrow(c.file);
    }
  }
}

TEST_F(Directories, UncWalkStopsAtTheRootBackslash) {
  // "\" has no parent, so its second attempt follows its first directly.
  fake_file_system.refused = {L"\\\\server\\share\\a", L"\\\\server\\share", L"\\\\server", L"\\"};
  EXPECT_EQ(create_for_file(L"\\\\server\\share\\a\\x.dll"),
            (Calls{L"\\\\server\\share\\a", L"\\\\server\\share", L"\\\\server", L"\\", L"\\",
                   L"\\\\server", L"\\\\server\\share", L"\\\\server\\share\\a"}));
}

TEST_F(Directories, SlashIsPartOfAFolderName) {
  EXPECT_EQ(create_for_file(L"D:\\x\\a/b\\c.dll"), (Calls{L"D:\\x\\a/b", L"D:\\x", L"D:\\x\\a/b"}));
}

TEST_F(Directories, FullListStillCreatesButRecordsNoMore) {
  for (int i = 1; i < known_directories_capacity; ++i) ensure(L"D:\\f" + std::to_wstring(i));
  ASSERT_EQ(known.count, known_directories_capacity);
  EXPECT_EQ(ensure(L"D:\\later"), Calls{L"D:\\later"});
  EXPECT_EQ(ensure(L"D:\\later"), Calls{L"D:\\later"});
  EXPECT_EQ(ensure(L"D:\\f1"), Calls{});
  EXPECT_EQ(known.count, known_directories_capacity);
}

}  // namespace
