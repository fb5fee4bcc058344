#include "paths/spec_expansion.h"

#include <shlobj.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "paths/placeholder_values.h"
#include "tests/harness/temp_dir.h"
#include "tests/paths/expansion_helpers.h"
#include "tests/paths/paths_probe.h"

namespace {

std::wstring shell_folder(int folder) {
  wchar_t path[MAX_PATH];
  EXPECT_EQ(SHGetFolderPathW(nullptr, folder, nullptr, 0, path), S_OK);
  return without_trailing_backslashes(path);
}

std::wstring digits_of(unsigned long value) { return std::to_wstring(value); }

TEST(SpecExpansion, EmptySpecGivesEmptyText) {
  Expansion result = expand(L"");
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.text, L"");
}

TEST(SpecExpansion, NamesMatchWithoutRegardToCase) {
  for (const wchar_t* spec :
       {L"{VERSION}", L"{version}", L"{Version}", L"{file_VERSION}", L"{Product_Version}"}) {
    Expansion result = expand(spec);
    EXPECT_TRUE(result.ok) << spec;
    EXPECT_EQ(result.text, L"1.17.4.0") << spec;
  }
  EXPECT_EQ(expand(L"{temp}").text, expand(L"{TEMP}").text);
  EXPECT_EQ(expand(L"{Program_Dir}").text, expand(L"{PROGRAM_DIR}").text);
}

TEST(SpecExpansion, FoldersComeWithoutTrailingBackslash) {
  std::wstring temp = without_trailing_backslashes(temp_path());
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(expand(L"{TEMP}").text, temp);
  EXPECT_EQ(expand(L"{TEMP}\\x").text, temp + L"\\x");
  EXPECT_EQ(expand(L"{HOME}").text, shell_folder(CSIDL_PROFILE));
  EXPECT_EQ(expand(L"{CACHE_DIR}").text, shell_folder(CSIDL_LOCAL_APPDATA));
}

TEST(SpecExpansion, TrailingBackslashesAreRemovedFromTheWholeOutput) {
  // An empty folder value after "C:\" leaves "C:"; the start is never passed.
  std::wstring text = L"C:\\";
  EXPECT_EQ(drop_trailing_backslashes(text.data(), text.size()), 2u);
  EXPECT_EQ(std::wstring(text.c_str()), L"C:");
  text = L"\\\\\\";
  EXPECT_EQ(drop_trailing_backslashes(text.data(), text.size()), 0u);
  EXPECT_EQ(text[0], L'\0');
  text = L"C:\\x/";
  EXPECT_EQ(drop_trailing_backslashes(text.data(), text.size()), 5u);
}

TEST(SpecExpansion, ProgramPlaceholdersDeriveFromTheModuleFileName) {
  std::wstring program = module_name();
  ASSERT_EQ(program.substr(program.size() - 4), L".exe");
  EXPECT_EQ(expand(L"{PROGRAM}").text, program);
  EXPECT_EQ(expand(L"{PROGRAM_BASE}.d").text, program.substr(0, program.size() - 4) + L".d");
  EXPECT_EQ(expand(L"{PROGRAM_DIR}").text, program.substr(0, program.rfind(L'\\')));
  // The cut applies to the value only, never to the text before it.
  EXPECT_EQ(expand(L"x\\y.exe{PROGRAM_DIR}").text,
            L"x\\y.exe" + program.substr(0, program.rfind(L'\\')));
}

TEST(SpecExpansion, ProgramBaseRemovesOnlyAnExeExtensionInAnyCase) {
  TempDir folder;
  std::wstring probe = this_program_directory() + L"\\paths_probe.exe";
  for (const wchar_t* name : {L"tool.EXE", L"tool.exe.bak"}) {
    std::wstring copy = folder.file(name);
    ASSERT_TRUE(CopyFileW(probe.c_str(), copy.c_str(), FALSE));
    ProcessOptions options;
    options.application = copy.c_str();
    ProcessResult result =
        run_paths_probe(L"expand", L"{PROGRAM_BASE}|{PROGRAM_DIR}", L"", options);
    std::wstring base = std::wstring(name) == L"tool.EXE" ? L"tool" : L"tool.exe.bak";
    EXPECT_EQ(widen_utf8(result.out), L"true|" + folder.file(base) + L"|" + folder.path() + L"\n");
  }
}

TEST(SpecExpansion, BuildTimeSpecLandsBesideTheExecutable) {
  std::wstring program = module_name();
  EXPECT_EQ(expand(L"{PROGRAM_DIR}\\.qorvix\\runtime-1.17.4-legacy2008").text,
            program.substr(0, program.rfind(L'\\')) + L"\\.qorvix\\runtime-1.17.4-legacy2008");
}

TEST(SpecExpansion, BraceInsideATokenStartsItAgain) {
  Expansion result = expand(L"a{b{VERSION}c");
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.text, L"a1.17.4.0c");
  EXPECT_EQ(expand(L"{NOPE{version}").text, L"1.17.4.0");
}

TEST(SpecExpansion, UnclosedTokenIsDropped) {
  Expansion result = expand(L"abc{TEMP");
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.text, L"abc");
}

TEST(SpecExpansion, UnknownAndEmptyNamesFailAndKeepWhatCameBefore) {
  Expansion empty = expand(L"{}");
  EXPECT_FALSE(empty.ok);
  EXPECT_EQ(empty.text, L"");
  Expansion unknown = expand(L"x{NOPE}y");
  EXPECT_FALSE(unknown.ok);
  EXPECT_EQ(unknown.text, L"x");
  EXPECT_FALSE(expand(L"{ TEMP}").ok);
}

TEST(SpecExpansion, ClosingBraceOutsideATokenIsCopied) {
  Expansion result = expand(L"a}b{VERSION}}");
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.text, L"a}b1.17.4.0}");
  Expansion full = expand(L"ab}", 3);
  EXPECT_FALSE(full.ok);
  EXPECT_EQ(full.text, L"ab");
}

TEST(SpecExpansion, LiteralsFillTheCapacityExactly) {
  Expansion fits = expand(L"abc", 4);
  EXPECT_TRUE(fits.ok);
  EXPECT_EQ(fits.text, L"abc");
  Expansion over = expand(L"abcd", 4);
  EXPECT_FALSE(over.ok);
  EXPECT_EQ(over.text, L"abc");
  wchar_t untouched = L'#';
  EXPECT_FALSE(expand_target_spec(&untouched, L"", 0));
  EXPECT_EQ(untouched, L'#');
}

TEST(SpecExpansion, ValuesFillTheCapacityExactly) {
  EXPECT_EQ(expand(L"x{VERSION}", 10).text, L"x1.17.4.0");
  // One unit more is too long, told with the length the whole text needs.
  ProcessResult over = run_paths_probe(L"expand", L"x{VERSION}", L"9");
  EXPECT_EQ(over.exit_code, 0u);
  EXPECT_EQ(over.out, "false|x\ntoo long 9\n");
}

TEST(SpecExpansion, TempThatDoesNotFitFails) {
  std::wstring temp = temp_path();
  Expansion fits = expand(L"ab{TEMP}", temp.size() + 3);
  EXPECT_TRUE(fits.ok);
  EXPECT_EQ(fits.text, L"ab" + without_trailing_backslashes(temp));
  Expansion over = expand(L"ab{TEMP}", temp.size() + 2);
  EXPECT_FALSE(over.ok);
  EXPECT_EQ(over.text, L"ab");
}

TEST(SpecExpansion, ProgramThatDoesNotFitFails) {
  std::wstring program = module_name();
  EXPECT_TRUE(expand(L"{PROGRAM}", program.size() + 1).ok);
  Expansion over = expand(L"{PROGRAM}", program.size());
  EXPECT_FALSE(over.ok);
  EXPECT_EQ(over.text, L"");
  // The directory is cut from the whole name only.
  EXPECT_FALSE(expand(L"{PROGRAM_DIR}", program.size()).ok);
  EXPECT_FALSE(expand(L"{PROGRAM_BASE}", program.size()).ok);
}

TEST(SpecExpansion, OverlongNamesFailWithoutOverrunningTheToken) {
  EXPECT_FALSE(expand(L"{" + std::wstring(1023, L'T') + L"}").ok);
  for (size_t length : {1024, 1025, 5000}) {
    Expansion result = expand(L"ab{" + std::wstring(length, L'T') + L"}cd");
    EXPECT_FALSE(result.ok) << length;
    EXPECT_EQ(result.text, L"ab") << length;
  }
  // A new token starts afresh, and an unclosed one is dropped as usual.
  EXPECT_EQ(expand(L"{" + std::wstring(5000, L'T') + L"{VERSION}").text, L"1.17.4.0");
  Expansion unclosed = expand(L"ab{" + std::wstring(5000, L'T'));
  EXPECT_TRUE(unclosed.ok);
  EXPECT_EQ(unclosed.text, L"ab");
}

TEST(SpecExpansion, PidNamesTheParentLauncherWhenOneIsRecorded) {
  set_variable(L"KOVRAN_ONEFILE_PARENT", nullptr);
  EXPECT_EQ(expand(L"{PID}").text, digits_of(GetCurrentProcessId()));
  set_variable(L"KOVRAN_ONEFILE_PARENT", L"");
  EXPECT_EQ(expand(L"{PID}").text, digits_of(GetCurrentProcessId()));
  set_variable(L"KOVRAN_ONEFILE_PARENT", L"4711");
  EXPECT_EQ(expand(L"{pid}").text, L"4711");
  set_variable(L"KOVRAN_ONEFILE_PARENT", nullptr);
}

TEST(SpecExpansion, ParentThatIsNotAllDigitsAborts) {
  ProcessOptions options;
  options.environment = {L"KOVRAN_ONEFILE_PARENT=12a4"};
  ProcessResult result = run_paths_probe(L"expand", L"{PID}", L"", options);
  EXPECT_EQ(result.exit_code, aborted_status);
  EXPECT_EQ(result.out + result.err, "");
}

TEST(SpecExpansion, LauncherReportsAFailedExpansionWithTheTemplate) {
  ProcessResult result = run_paths_probe(L"launcher-expand", L"kv\\{PID}\\{NOPE}\\x");
  EXPECT_EQ(result.exit_code, aborted_status);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "Error, couldn't runtime expand spec 'kv\\{PID}\\{NOPE}\\x'.\n");
}

}  // namespace
