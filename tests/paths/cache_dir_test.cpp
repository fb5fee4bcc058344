// Which values of the cache folder variable name a folder: anything else would unpack into a
// drive's root, a device, or a folder of another name than the one given.
#include "paths/cache_dir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
  const wchar_t* value;
  bool names_a_folder;
};

TEST(CacheDir, OnlyAbsolutePathsToAFolderAreTaken) {
  const Case cases[] = {
      {L"D:\\", true},
      {L"D:/", true},
      {L"C:\\ci\\cache", true},
      {L"C:\\ci\\cache\\", true},
      {L"c:/ci/cache", true},
      {L"C:\\ci\\.cache", true},
      {L"C:\\ci\\console", true},
      {L"C:\\ci\\COM10", true},
      {L"\\\\server\\share", true},
      {L"\\\\server\\share\\cache", true},
      {L"//server/share/cache", true},
      {L"\\\\?\\D:\\", true},
      {L"\\\\?\\C:\\ci\\cache", true},
      {L"\\\\?\\UNC\\server\\share\\cache", true},
      {L"", false},
      {L"cache", false},
      {L"C:cache", false},
      {L"C:", false},
      {L"\\cache", false},
      {L"\\\\", false},
      {L"\\\\\\", false},
      {L"\\\\server", false},
      {L"\\\\server\\", false},
      {L"\\\\?\\", false},
      {L"\\\\.\\", false},
      {L"\\\\?\\Z:", false},
      {L"\\\\?\\UNC\\server", false},
      {L"\\\\?\\GLOBALROOT\\Device\\x", false},
      {L"\\\\.\\pipe\\x", false},
      {L"\\\\.\\C:\\cache", false},
      {L"C:\\ci\\cache ", false},
      {L"C:\\ci\\cache.", false},
      {L"C:\\ci.\\cache", false},
      {L"C:\\ci\\..\\cache", false},
      {L"C:\\ci\\\\cache", false},
      {L"C:\\ci\\NUL", false},
      {L"C:\\ci\\nul.txt\\cache", false},
      {L"C:\\ci\\COM1", false},
      {L"C:\\ci\\COM0", false},
      {L"C:\\ci\\lpt\x00B9", false},
      {L"C:\\ci\\cache:stream", false},
      {L"C:\\ci\\a?b", false},
      {L"C:\\ci\\a\tb", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(is_absolute_path(c.value), c.names_a_folder)
        << std::string(c.value, c.value + wcslen(c.value));
  }
}

}  // namespace
