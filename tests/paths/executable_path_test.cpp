#include "paths/executable_path.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "paths/long_path_prefix.h"
#include "tests/harness/temp_dir.h"
#include "tests/paths/expansion_helpers.h"
#include "tests/paths/paths_probe.h"

namespace {

std::wstring stripped(const std::wstring& text) {
  wchar_t buffer[64];
  wcscpy(buffer, text.c_str());
  strip_long_path_prefix(buffer);
  return buffer;
}

std::wstring short_form(const std::wstring& path) {
  wchar_t buffer[4096];
  DWORD length = GetShortPathNameW(path.c_str(), buffer, 4096);
  return length != 0 ? std::wstring(buffer, length) : path;
}

std::wstring shortened(const std::wstring& path) {
  wcscpy(executable_path_final, path.c_str());
  to_short_path();
  std::wstring result = executable_path_final;
  executable_path_final[0] = 0;
  return result;
}

TEST(ExecutablePath, PlainModeIsTheModuleFileNameKeptAfterTheFirstCall) {
  EXPECT_EQ(resolve_executable_path(false), executable_path_plain);
  EXPECT_EQ(std::wstring(executable_path_plain), module_name());
  std::wstring original = executable_path_plain;
  wcscpy(executable_path_plain, L"X:\\cached.exe");
  EXPECT_STREQ(resolve_executable_path(false), L"X:\\cached.exe");
  wcscpy(executable_path_plain, original.c_str());
}

TEST(ExecutablePath, FinalModeShortensTheDirectoryAndKeepsTheFileName) {
  std::wstring program = module_name();
  size_t cut = program.rfind(L'\\');
  EXPECT_EQ(resolve_executable_path(true), executable_path_final);
  EXPECT_EQ(std::wstring(executable_path_final),
            short_form(program.substr(0, cut)) + program.substr(cut));
}

TEST(LongPathPrefix, IsTakenOffDriveLetterAndUncPathsOnly) {
  EXPECT_EQ(stripped(L"\\\\?\\C:\\x\\app.exe"), L"C:\\x\\app.exe");
  EXPECT_EQ(stripped(L"\\\\?\\UNC\\srv\\sh\\app.exe"), L"\\\\srv\\sh\\app.exe");
  EXPECT_EQ(stripped(L"\\\\?\\Volume{1234}\\app.exe"), L"\\\\?\\Volume{1234}\\app.exe");
  EXPECT_EQ(stripped(L"\\\\?\\C"), L"\\\\?\\C");
  EXPECT_EQ(stripped(L"\\\\?\\"), L"\\\\?\\");
  EXPECT_EQ(stripped(L"\\\\?\\unc\\srv\\sh"), L"\\\\?\\unc\\srv\\sh");
  EXPECT_EQ(stripped(L"C:\\x\\app.exe"), L"C:\\x\\app.exe");
  EXPECT_EQ(stripped(L"\\\\srv\\sh\\app.exe"), L"\\\\srv\\sh\\app.exe");
}

TEST(ShortPath, ShortensTheDirectoryPartOnly) {
  TempDir folder;
  std::wstring directory = folder.file(L"A Rather Long Folder Name");
  ASSERT_TRUE(CreateDirectoryW(directory.c_str(), nullptr));
  std::wstring name = L"a long file name with spaces.exe";
  write_file(directory + L"\\" + name, "");
  EXPECT_NE(short_form(directory), directory);
  EXPECT_EQ(shortened(directory + L"\\" + name), short_form(directory) + L"\\" + name);
  // The file need not exist; a trailing backslash stays.
  EXPECT_EQ(shortened(directory + L"\\missing long name.exe"),
            short_form(directory) + L"\\missing long name.exe");
  EXPECT_EQ(shortened(directory + L"\\"), short_form(directory) + L"\\");
}

TEST(ShortPath, LeavesPathsWithoutAShortFormAsTheyAre) {
  EXPECT_EQ(shortened(L"\\app name.exe"), L"\\app name.exe");
  EXPECT_EQ(shortened(L"no such file here.exe"), L"no such file here.exe");
  EXPECT_EQ(shortened(L"Q:\\no such folder\\app.exe"), L"Q:\\no such folder\\app.exe");
}

TEST(PathDirectory, CutsAtTheLastBackslash) {
  EXPECT_STREQ(path_directory(L"C:\\dir\\app.exe"), L"C:\\dir");
  EXPECT_STREQ(path_directory(L"C:\\app.exe"), L"C:");
  EXPECT_STREQ(path_directory(L"app.exe"), L"app.exe");
  EXPECT_EQ(path_directory(L"x"), executable_directory);
}

TEST(ModuleFileName, IsTheModuleFileName) {
  EXPECT_EQ(std::wstring(module_file_name()), module_name());
  EXPECT_EQ(module_file_name(), module_path);
}

TEST(NormalizeTargetDirectory, ResolvesRelativeTextAgainstTheCurrentDirectory) {
  TempDir folder;
  ProcessOptions options;
  options.current_directory = folder.path().c_str();
  ProcessResult result = run_paths_probe(L"normalize", L"a\\..\\b/c\\.", L"", options);
  EXPECT_EQ(result.exit_code, 0u) << result.err;
  EXPECT_EQ(widen_utf8(result.out), folder.path() + L"\\b\\c\n");
}

TEST(NormalizeTargetDirectory, AbortsOnAnEmptyText) {
  ProcessResult result = run_paths_probe(L"normalize", L"");
  EXPECT_EQ(result.exit_code, aborted_status);
  EXPECT_EQ(result.out + result.err, "");
}

}  // namespace
