#include "paths/executable_path.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "paths/long_path_prefix.h"
#include "paths/short_path.h"
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
  wchar_t buffer[executable_path_capacity];
  wcscpy(buffer, path.c_str());
  to_short_path(buffer, executable_path_capacity);
  return buffer;
}

TEST(ExecutablePath, PlainModeIsTheModuleFileName) {
  wchar_t path[executable_path_capacity];
  EXPECT_FALSE(failed(read_launcher_path(path)));
  EXPECT_EQ(std::wstring(path), module_name());
}

TEST(ExecutablePath, FinalModeShortensTheDirectoryAndKeepsTheFileName) {
  std::wstring program = module_name();
  size_t cut = program.rfind(L'\\');
  wchar_t path[executable_path_capacity];
  EXPECT_FALSE(failed(resolve_final_executable_path(path)));
  EXPECT_EQ(std::wstring(path), short_form(program.substr(0, cut)) + program.substr(cut));
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

std::wstring directory_of(const wchar_t* path) {
  wchar_t directory[executable_path_capacity];
  path_directory(directory, path);
  return directory;
}

TEST(PathDirectory, CutsAtTheLastBackslash) {
  EXPECT_EQ(directory_of(L"C:\\dir\\app.exe"), L"C:\\dir");
  EXPECT_EQ(directory_of(L"C:\\app.exe"), L"C:");
  EXPECT_EQ(directory_of(L"app.exe"), L"app.exe");
  EXPECT_EQ(directory_of(L"x"), L"x");
}

TEST(NormalizeTargetDirectory, ResolvesRelativeTextAgainstTheCurrentDirectory) {
  TempDir folder;
  ProcessOptions options;
  options.current_directory = folder.path().c_str();
  ProcessResult result = run_paths_probe(L"normalize", L"a\\..\\b/c\\.", L"", options);
  EXPECT_EQ(result.exit_code, 0u) << result.err;
  EXPECT_EQ(widen_utf8(result.out), folder.path() + L"\\b\\c\n");
}

TEST(NormalizeTargetDirectory, EmptyTextEndsWithTheSystemsReasonAndTheAbnormalStatus) {
  ProcessResult result = run_paths_probe(L"normalize", L"");
  EXPECT_EQ(result.exit_code, aborted_status);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(
      result.err.rfind("Error, the target directory '' cannot be made a full path ([Error ", 0), 0u)
      << result.err;
}

}  // namespace
