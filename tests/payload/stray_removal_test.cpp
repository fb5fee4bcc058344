// After a takeover, what the build does not hold goes from the folders its listing flagged;
// the rest of the tree is the build's and is not looked at again. Links go as links, and
// nothing is looked through one.
#include "payload/stray_removal.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "payload/stray_census.h"
#include "tests/harness/process.h"
#include "tests/harness/temp_dir.h"

namespace {

// A folder with a Linux path too, for links made the way a user would make them there.
struct LinkableFolder {
  std::wstring unix_path = L"/tmp/kvstray-" + std::to_wstring(GetCurrentProcessId());
  std::wstring path = L"Z:" + windows_form(unix_path);
  LinkableFolder() { CreateDirectoryW(path.c_str(), nullptr); }
  // Wine cannot remove a folder link.
  ~LinkableFolder() { run_process(L"Z:\\bin\\rm -rf " + unix_path); }
  static std::wstring windows_form(std::wstring unix) {
    for (wchar_t& unit : unix) unit = unit == L'/' ? L'\\' : unit;
    return unix;
  }
};

TEST(StrayRemoval, GoesOnlyFromFlaggedFoldersAndNeverThroughALink) {
  LinkableFolder work;
  std::wstring target = work.path + L"\\build", outside = work.path + L"\\outside";
  for (const wchar_t* folder : {L"", L"\\lib", L"\\lib\\old", L"\\quiet"}) {
    CreateDirectoryW((target + folder).c_str(), nullptr);
  }
  CreateDirectoryW(outside.c_str(), nullptr);
  for (const wchar_t* file : {L"\\keep.txt", L"\\stray.txt", L"\\lib\\a.txt", L"\\lib\\old\\x.txt",
                              L"\\quiet\\b.txt", L"\\quiet\\not-flagged.txt"}) {
    write_file(target + file, "bytes");
  }
  write_file(outside + L"\\victim.txt", "victim");
  run_process(L"Z:\\bin\\ln -s " + work.unix_path + L"/outside " + work.unix_path +
              L"/build/linked");
  run_process(L"Z:\\bin\\ln -s " + work.unix_path + L"/outside/victim.txt " + work.unix_path +
              L"/build/file-link.txt");
  // Wine may take a moment to see what changed behind its back.
  for (const wchar_t* link : {L"\\linked\\victim.txt", L"\\file-link.txt"}) {
    for (int i = 0; i < 200 && !file_exists(target + link); ++i) Sleep(25);
    ASSERT_TRUE(file_exists(target + link));
  }

  NameList names{};
  for (const wchar_t* name : {L"keep.txt", L"LIB\\a.txt", L"quiet\\b.txt", L"linked\\c.txt"}) {
    add_name(names, name);
  }
  CensusFolder folders[] = {{L"", 0}, {L"lib\\", 4}, {L"quiet\\", 6}, {L"linked\\", 7}};
  unsigned char flagged[] = {1, 1, 0, 1};
  StrayCensus census = {folders, 4, 4, flagged, 0};
  StrayRemoval removal = remove_strays(target.c_str(), names, &census);

  EXPECT_EQ(removal.files_removed, 3);
  // Something stays that should go: the folder link, which Wine cannot remove.
  EXPECT_FALSE(removal.all_gone);
  for (const wchar_t* gone : {L"\\stray.txt", L"\\lib\\old", L"\\file-link.txt"}) {
    EXPECT_EQ(GetFileAttributesW((target + gone).c_str()), INVALID_FILE_ATTRIBUTES);
  }
  for (const wchar_t* kept : {L"\\keep.txt", L"\\lib\\a.txt", L"\\quiet\\not-flagged.txt"}) {
    EXPECT_TRUE(file_exists(target + kept));
  }
  EXPECT_EQ(read_file(outside + L"\\victim.txt"), "victim");
  free_names(names);
}

}  // namespace
