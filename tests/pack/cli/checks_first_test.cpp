// Inputs that would only fail at the launcher's start are refused by the tool, in one
// line, before any output is written.
#include <gtest/gtest.h>

#include <random>

#include "tests/pack/archive/block_reader.h"
#include "tests/pack/inspect/handmade_block.h"
#include "tests/pack/test_files.h"
#include "tests/pack/tool_runner.h"

namespace pack_test {
namespace {

namespace fs = std::filesystem;

void expect_refused_without_output(const std::vector<std::string>& args, const fs::path& out_dir,
                                   const std::string& expected) {
  expect_refused_in_one_line(run_pack_tool(args), expected);
  EXPECT_FALSE(fs::exists(out_dir)) << "output folder made";
}

TEST(ChecksFirst, MainMustBeAWindowsProgram) {
  TempDir dir;
  write_file(dir / "app/app.exe", "echo this is a script\n");
  expect_refused_without_output(
      {"pack", (dir / "app").string(), "-o", (dir / "out/app.exe").string()}, dir / "out",
      "app.exe: the main executable is not a Windows program (no MZ header)");
  write_file(dir / "app/app.exe", "MZ" + std::string(100, '\0'));
  expect_refused_without_output(
      {"pack", (dir / "app").string(), "-o", (dir / "out/app.exe").string()}, dir / "out",
      "(no PE header)");
  std::string dll = minimal_program();
  dll[87] = 0x20;  // IMAGE_FILE_DLL
  write_file(dir / "app/app.exe", dll);
  expect_refused_without_output(
      {"pack", (dir / "app").string(), "-o", (dir / "out/app.exe").string()}, dir / "out",
      "not an executable program");
}

TEST(ChecksFirst, AnotherMachineIsOnlyWarnedOf) {
  TempDir dir;
  std::string program = minimal_program();
  program[68] = 0x4c, program[69] = 0x01;  // x86
  write_file(dir / "app/app.exe", program);
  ToolResult result =
      run_pack_tool({"pack", "-q", (dir / "app").string(), "-o", (dir / "o.exe").string()});
  EXPECT_EQ(0, result.exit_code) << result.err;
  EXPECT_NE(std::string::npos, result.err.find("is not an x86-64 program")) << result.err;
}

TEST(ChecksFirst, PayloadBlocksAreDecodedAndTheirNamesChecked) {
  TempDir dir;
  std::string random(5000, '\0');
  std::mt19937 rng(7);
  for (char& c : random) c = static_cast<char>(rng());
  const std::pair<std::string, std::string> cases[] = {
      {handmade_block({{u"main.exe", minimal_program()}, {u"..\\up.txt", "x"}}),
       "entry '..\\up.txt': name holds a '.' or '..' component"},
      {handmade_block({{u"main.exe", minimal_program()}, {u"lib\\nul", "x"}}),
       "reserved device name"},
      {handmade_block({{u"main.exe", "echo hi"}}),
       "entry 'main.exe', the main executable, is not a Windows program"},
      {random, "no \"QVJ\" magic"},
      {"QVJ" + random, "frame: "},
      {handmade_block({{u"main.exe", "m"}}).substr(0, 20), "frame: cut short"},
  };
  for (const auto& [block, expected] : cases) {
    SCOPED_TRACE(expected);
    write_file(dir / "in.block", block);
    expect_refused_without_output({"pack", "--payload-block", (dir / "in.block").string(), "-o",
                                   (dir / "out/app.exe").string()},
                                  dir / "out", expected);
  }
}

TEST(ChecksFirst, AGoodBlockNamesTheFolderAfterItsMainProgram) {
  TempDir dir;
  write_file(dir / "in.block",
             handmade_block({{u"bin\\Tool.EXE", minimal_program()}, {u"a.txt", "x"}}));
  ToolResult result = run_pack_tool({"pack", "-q", "--payload-block", (dir / "in.block").string(),
                                     "-o", (dir / "o.exe").string()});
  ASSERT_EQ(0, result.exit_code) << result.err;
  std::u16string spec = constants_in_executable(read_file(dir / "o.exe")).spec;
  EXPECT_EQ(u"{CACHE_DIR}\\kovran-onefile\\Tool-", spec.substr(0, 32));
}

}  // namespace
}  // namespace pack_test
