#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>

#include "paths/directories.h"
#include "tests/harness/temp_dir.h"

namespace {

TEST(DirectoriesOnDisk, CreatesAChain) {
  TempDir folder;
  KnownDirectories known = {};
  create_parent_directories_of(known, folder.file(L"a\\b\\c\\x.dll").c_str());
  DWORD attributes = GetFileAttributesW(folder.file(L"a\\b\\c").c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_TRUE(ensure_directory(known, folder.file(L"a").c_str()));
  EXPECT_FALSE(ensure_directory(known, folder.file(L"missing\\d").c_str()));
}

}  // namespace
